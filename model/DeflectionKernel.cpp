#include "model/DeflectionKernel.h"

#include "model/DMModelMain.h"

#include <cmath>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace ostrander {
namespace {

inline double Contribution(double x, double y, const ActuatorDeflection& a) {
    const double G = std::sqrt((x - a.xa) * (x - a.xa) + (y - a.ya) * (y - a.ya));
    if (G < a.Jc)
        return a.A + a.w * (a.Jc * a.Jc - G * G) / (2 * a.Jc * a.Jc);
    const double Rb = DMModelMain::EdgeDistanceFrom(x, y, a.ax, a.ay, a.R);
    return std::log(Rb / G) * a.A / std::log(Rb / a.Jc);
}

void AddRowScalar(double* row, int32_t n, int32_t from, double x, double dx,
                  const ActuatorDeflection& a) {
    for (int32_t j = from; j < n; ++j) {
        const double y = (j - n / 2) * dx;
        const double r = std::sqrt(x * x + y * y);
        if (r > a.R)
            row[j] = 0.0;
        else
            row[j] += Contribution(x, y, a);
    }
}

#if defined(__x86_64__)
bool HaveAvx2() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}

// LiesBetween on four lanes: b > c: p - c > -1e-7 and b - p > -1e-7;
// otherwise p - b and c - p.
__attribute__((target("avx2"))) inline __m256d LiesBetween4(__m256d p, __m256d b, __m256d c) {
    const __m256d tolerance = _mm256_set1_pd(-1e-7);
    const __m256d bGreater = _mm256_cmp_pd(b, c, _CMP_GT_OQ);
    const __m256d lo = _mm256_blendv_pd(b, c, bGreater);
    const __m256d hi = _mm256_blendv_pd(c, b, bGreater);
    return _mm256_and_pd(_mm256_cmp_pd(_mm256_sub_pd(p, lo), tolerance, _CMP_GT_OQ),
                         _mm256_cmp_pd(_mm256_sub_pd(hi, p), tolerance, _CMP_GT_OQ));
}

// The scalar steps four points of a row at a time; the logarithms stay
// scalar calls so that both builds agree to the last bit.
__attribute__((target("avx2"))) void AddRowAvx2(double* row, int32_t n, double x, double dx,
                                                const ActuatorDeflection& a) {
    const __m256d R = _mm256_set1_pd(a.R);
    const __m256d ax = _mm256_set1_pd(a.ax), ay = _mm256_set1_pd(a.ay);
    const __m256d xx = _mm256_set1_pd(x * x);
    const double dxaScalar = x - a.xa;
    const __m256d dxa2 = _mm256_set1_pd(dxaScalar * dxaScalar);
    const __m256d ya = _mm256_set1_pd(a.ya);
    const __m256d Jc = _mm256_set1_pd(a.Jc);
    const __m256d Jc2 = _mm256_set1_pd(a.Jc * a.Jc);
    const __m256d twoJc2 = _mm256_set1_pd(2 * a.Jc * a.Jc);
    const __m256d A = _mm256_set1_pd(a.A), w = _mm256_set1_pd(a.w);
    const __m256d px = _mm256_set1_pd(x);
    const bool vertical = !(std::fabs(x - a.ax) > 1e-6);
    const __m256d pxMinusAx = _mm256_set1_pd(x - a.ax);
    const __m256d one = _mm256_set1_pd(1.0), two = _mm256_set1_pd(2.0), four = _mm256_set1_pd(4.0),
                  RR = _mm256_set1_pd(a.R * a.R);
    const __m256d zero = _mm256_setzero_pd();
    int32_t j = 0;
    for (; j + 4 <= n; j += 4) {
        const __m256d k = _mm256_set_pd(j + 3 - n / 2, j + 2 - n / 2, j + 1 - n / 2, j - n / 2);
        const __m256d y = _mm256_mul_pd(k, _mm256_set1_pd(dx));
        const __m256d r = _mm256_sqrt_pd(_mm256_add_pd(xx, _mm256_mul_pd(y, y)));
        const __m256d outside = _mm256_cmp_pd(r, R, _CMP_GT_OQ);
        if (_mm256_movemask_pd(outside) == 0xF) {
            _mm256_storeu_pd(row + j, zero);
            continue;
        }
        const __m256d dya = _mm256_sub_pd(y, ya);
        const __m256d G = _mm256_sqrt_pd(_mm256_add_pd(dxa2, _mm256_mul_pd(dya, dya)));
        const __m256d inner = _mm256_cmp_pd(G, Jc, _CMP_LT_OQ);
        const __m256d zin = _mm256_add_pd(
            A, _mm256_div_pd(_mm256_mul_pd(w, _mm256_sub_pd(Jc2, _mm256_mul_pd(G, G))), twoJc2));

        // Edge distance along the line from the actuator through the point.
        const __m256d s =
            vertical ? _mm256_set1_pd(10000000.0) : _mm256_div_pd(_mm256_sub_pd(y, ay), pxMinusAx);
        const __m256d c0 = _mm256_sub_pd(ay, _mm256_mul_pd(ax, s));
        const __m256d B = _mm256_mul_pd(_mm256_mul_pd(two, s), c0);
        const __m256d C = _mm256_add_pd(_mm256_mul_pd(s, s), one);
        const __m256d disc = _mm256_sub_pd(
            _mm256_mul_pd(B, B),
            _mm256_mul_pd(_mm256_mul_pd(four, C), _mm256_sub_pd(_mm256_mul_pd(c0, c0), RR)));
        const __m256d root = _mm256_sqrt_pd(disc);
        const __m256d twoC = _mm256_mul_pd(two, C);
        const __m256d minusB = _mm256_sub_pd(zero, B);
        const __m256d x1 = _mm256_div_pd(_mm256_add_pd(minusB, root), twoC);
        const __m256d y1 = _mm256_add_pd(c0, _mm256_mul_pd(s, x1));
        const __m256d x2 = _mm256_div_pd(_mm256_sub_pd(minusB, root), twoC);
        const __m256d y2 = _mm256_add_pd(c0, _mm256_mul_pd(s, x2));
        __m256d first = LiesBetween4(y, ay, y1);
        if (!vertical)
            first = _mm256_and_pd(first, LiesBetween4(px, ax, x1));
        const __m256d xe = _mm256_blendv_pd(x2, x1, first);
        const __m256d ye = _mm256_blendv_pd(y2, y1, first);
        const __m256d ex = _mm256_sub_pd(ax, xe), ey = _mm256_sub_pd(ay, ye);
        const __m256d Rb =
            _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(ex, ex), _mm256_mul_pd(ey, ey)));

        alignas(32) double rbg[4], rbj[4], zinLane[4], old[4];
        _mm256_store_pd(rbg, _mm256_div_pd(Rb, G));
        _mm256_store_pd(rbj, _mm256_div_pd(Rb, Jc));
        _mm256_store_pd(zinLane, zin);
        _mm256_storeu_pd(old, _mm256_loadu_pd(row + j));
        const int outsideMask = _mm256_movemask_pd(outside);
        const int innerMask = _mm256_movemask_pd(inner);
        for (int l = 0; l < 4; ++l) {
            if (outsideMask & (1 << l))
                row[j + l] = 0.0;
            else if (innerMask & (1 << l))
                row[j + l] = old[l] + zinLane[l];
            else
                row[j + l] = old[l] + std::log(rbg[l]) * a.A / std::log(rbj[l]);
        }
    }
    AddRowScalar(row, n, j, x, dx, a);
}
#else
bool HaveAvx2() {
    return false;
}
#endif

} // namespace

bool AddActuatorDeflection(Grid<double>& z, double dx, const ActuatorDeflection& a,
                           DeflectionKernel kernel) {
    const bool avx2 =
        kernel == DeflectionKernel::Avx2 || (kernel == DeflectionKernel::Automatic && HaveAvx2());
    if (avx2 && !HaveAvx2())
        return false;
    if (z.Rows() != z.Cols())
        return false;
    const int32_t n = z.Rows();
    for (int32_t i = 0; i < n; ++i) {
        const double x = (i - n / 2) * dx;
#if defined(__x86_64__)
        if (avx2) {
            AddRowAvx2(z[i], n, x, dx, a);
            continue;
        }
#endif
        AddRowScalar(z[i], n, 0, x, dx, a);
    }
    return true;
}

} // namespace ostrander
