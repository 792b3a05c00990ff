// Vector kernel of ComplexFFT, included by ComplexFFTGeneric.cpp and
// ComplexFFTAvx2.cpp inside a namespace of their own, so the same code is
// built once for the baseline instruction set and once for AVX2/FMA.
//
// A batch of up to kLanes independent sequences of length n is gathered into a
// scratch area in split form (re[k][lane], im[k][lane]) with the points in
// bit-reversed order, transformed there by radix-2 decimation in time with
// every butterfly working on all lanes at once, and scattered back. Columns of
// a row-major array are gathered a row at a time (contiguous); rows are
// gathered in square blocks and transposed in registers. Nothing here uses library
// templates, so the two builds cannot mix through shared inline code.

// OSTRANDER_FFT_LANES (4 or 8) is set by the including file: 8 for AVX2,
// 4 for the baseline, whose registers hold 4 floats.
constexpr int kLanes = OSTRANDER_FFT_LANES;
typedef float Vec __attribute__((vector_size(4 * kLanes)));
typedef int Mask __attribute__((vector_size(4 * kLanes))); // lane comparisons

struct Plan {
    int n;             // points per sequence, a power of 2
    const float* twRe; // n/2 twiddles exp(sign 2 pi i j / n)
    const float* twIm;
    const int* bitrev; // n entries
};

inline Vec Splat(float x) {
    Vec v;
    for (int l = 0; l < kLanes; ++l)
        v[l] = x;
    return v;
}

inline Vec Load(const float* p) {
    Vec v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

inline void Store(float* p, Vec v) {
    __builtin_memcpy(p, &v, sizeof v);
}

// One butterfly: points a and b become a + t and a - t, where t is point b
// already multiplied by its twiddle.
inline void Butterfly(Vec* re, Vec* im, int a, int b, Vec tr, Vec ti) {
    const Vec ar = re[a], ai = im[a];
    re[a] = ar + tr;
    im[a] = ai + ti;
    re[b] = ar - tr;
    im[b] = ai - ti;
}

// True when no lane of a comparison mask is set.
inline bool AllZero(Mask m) {
    for (int l = 0; l < kLanes; ++l)
        if (m[l])
            return false;
    return true;
}

// Radix-2 stages on scratch points already in bit-reversed order.
inline void Butterflies(Vec* re, Vec* im, const Plan& plan) {
    const int n = plan.n;
    if (n >= 2) {
        for (int g = 0; g < n; g += 2)
            Butterfly(re, im, g, g + 1, re[g + 1], im[g + 1]);
    }
    if (n >= 4) {
        // Twiddles 1 and exp(sign pi i / 2) = (0, sign).
        const float s = plan.twIm[n / 4];
        for (int g = 0; g < n; g += 4) {
            Butterfly(re, im, g, g + 2, re[g + 2], im[g + 2]);
            Butterfly(re, im, g + 1, g + 3, -Splat(s) * im[g + 3], Splat(s) * re[g + 3]);
        }
    }
    int h = 4;
    // Two stages (h and 2h) per pass over the points: the same butterflies in
    // the same order for each point, with half the loads and stores.
    for (; 4 * h <= n; h *= 4) {
        const int stride = n / (2 * h), stride2 = n / (4 * h);
        for (int j = 0; j < h; ++j) {
            const Vec wr = Splat(plan.twRe[j * stride]);
            const Vec wi = Splat(plan.twIm[j * stride]);
            const Vec w2r = Splat(plan.twRe[j * stride2]);
            const Vec w2i = Splat(plan.twIm[j * stride2]);
            const Vec w3r = Splat(plan.twRe[(j + h) * stride2]);
            const Vec w3i = Splat(plan.twIm[(j + h) * stride2]);
            for (int g = j; g < n; g += 4 * h) {
                const Vec ar = re[g], ai = im[g];
                const Vec br = re[g + h], bi = im[g + h];
                const Vec cr = re[g + 2 * h], ci = im[g + 2 * h];
                const Vec dr = re[g + 3 * h], di = im[g + 3 * h];
                // Stage h: (a, b) and (c, d).
                const Vec tbr = wr * br - wi * bi, tbi = wr * bi + wi * br;
                const Vec tdr = wr * dr - wi * di, tdi = wr * di + wi * dr;
                const Vec a1r = ar + tbr, a1i = ai + tbi, b1r = ar - tbr, b1i = ai - tbi;
                const Vec c1r = cr + tdr, c1i = ci + tdi, d1r = cr - tdr, d1i = ci - tdi;
                // Stage 2h: (a, c) and (b, d).
                const Vec tcr = w2r * c1r - w2i * c1i, tci = w2r * c1i + w2i * c1r;
                const Vec t2r = w3r * d1r - w3i * d1i, t2i = w3r * d1i + w3i * d1r;
                re[g] = a1r + tcr;
                im[g] = a1i + tci;
                re[g + 2 * h] = a1r - tcr;
                im[g + 2 * h] = a1i - tci;
                re[g + h] = b1r + t2r;
                im[g + h] = b1i + t2i;
                re[g + 3 * h] = b1r - t2r;
                im[g + 3 * h] = b1i - t2i;
            }
        }
    }
    for (; h < n; h *= 2) {
        const int stride = n / (2 * h);
        for (int j = 0; j < h; ++j) {
            const Vec wr = Splat(plan.twRe[j * stride]);
            const Vec wi = Splat(plan.twIm[j * stride]);
            for (int g = j; g < n; g += 2 * h) {
                const Vec br = re[g + h], bi = im[g + h];
                Butterfly(re, im, g, g + h, wr * br - wi * bi, wr * bi + wi * br);
            }
        }
    }
}

#if OSTRANDER_FFT_LANES == 8
inline void Deinterleave(Vec a, Vec b, Vec& re, Vec& im) {
    re = __builtin_shufflevector(a, b, 0, 2, 4, 6, 8, 10, 12, 14);
    im = __builtin_shufflevector(a, b, 1, 3, 5, 7, 9, 11, 13, 15);
}

inline void Interleave(Vec re, Vec im, Vec& a, Vec& b) {
    a = __builtin_shufflevector(re, im, 0, 8, 1, 9, 2, 10, 3, 11);
    b = __builtin_shufflevector(re, im, 4, 12, 5, 13, 6, 14, 7, 15);
}

// In-register transpose of an 8 x 8 block of floats.
inline void Transpose(Vec* r) {
    // Shuffle masks are constant argument lists (__builtin_shufflevector,
    // which both g++ and clang know).
#define OSTRANDER_FFT_LO 0, 8, 1, 9, 4, 12, 5, 13
#define OSTRANDER_FFT_HI 2, 10, 3, 11, 6, 14, 7, 15
#define OSTRANDER_FFT_LO2 0, 1, 8, 9, 4, 5, 12, 13
#define OSTRANDER_FFT_HI2 2, 3, 10, 11, 6, 7, 14, 15
#define OSTRANDER_FFT_LO4 0, 1, 2, 3, 8, 9, 10, 11
#define OSTRANDER_FFT_HI4 4, 5, 6, 7, 12, 13, 14, 15
    Vec t[8], u[8];
    for (int q = 0; q < 4; ++q) {
        t[2 * q] = __builtin_shufflevector(r[2 * q], r[2 * q + 1], OSTRANDER_FFT_LO);
        t[2 * q + 1] = __builtin_shufflevector(r[2 * q], r[2 * q + 1], OSTRANDER_FFT_HI);
    }
    for (int q = 0; q < 2; ++q) {
        u[4 * q + 0] = __builtin_shufflevector(t[4 * q + 0], t[4 * q + 2], OSTRANDER_FFT_LO2);
        u[4 * q + 1] = __builtin_shufflevector(t[4 * q + 0], t[4 * q + 2], OSTRANDER_FFT_HI2);
        u[4 * q + 2] = __builtin_shufflevector(t[4 * q + 1], t[4 * q + 3], OSTRANDER_FFT_LO2);
        u[4 * q + 3] = __builtin_shufflevector(t[4 * q + 1], t[4 * q + 3], OSTRANDER_FFT_HI2);
    }
    for (int q = 0; q < 4; ++q) {
        r[q] = __builtin_shufflevector(u[q], u[q + 4], OSTRANDER_FFT_LO4);
        r[q + 4] = __builtin_shufflevector(u[q], u[q + 4], OSTRANDER_FFT_HI4);
    }
#undef OSTRANDER_FFT_LO4
#undef OSTRANDER_FFT_HI4
}
#else
inline void Deinterleave(Vec a, Vec b, Vec& re, Vec& im) {
    re = __builtin_shufflevector(a, b, 0, 2, 4, 6);
    im = __builtin_shufflevector(a, b, 1, 3, 5, 7);
}

inline void Interleave(Vec re, Vec im, Vec& a, Vec& b) {
    a = __builtin_shufflevector(re, im, 0, 4, 1, 5);
    b = __builtin_shufflevector(re, im, 2, 6, 3, 7);
}

// In-register transpose of a 4 x 4 block of floats.
inline void Transpose(Vec* r) {
    // Shuffle masks are constant argument lists (__builtin_shufflevector,
    // which both g++ and clang know).
#define OSTRANDER_FFT_LO 0, 4, 1, 5
#define OSTRANDER_FFT_HI 2, 6, 3, 7
#define OSTRANDER_FFT_LO2 0, 1, 4, 5
#define OSTRANDER_FFT_HI2 2, 3, 6, 7
    const Vec t0 = __builtin_shufflevector(r[0], r[1], OSTRANDER_FFT_LO),
              t1 = __builtin_shufflevector(r[0], r[1], OSTRANDER_FFT_HI);
    const Vec t2 = __builtin_shufflevector(r[2], r[3], OSTRANDER_FFT_LO),
              t3 = __builtin_shufflevector(r[2], r[3], OSTRANDER_FFT_HI);
    r[0] = __builtin_shufflevector(t0, t2, OSTRANDER_FFT_LO2);
    r[1] = __builtin_shufflevector(t0, t2, OSTRANDER_FFT_HI2);
    r[2] = __builtin_shufflevector(t1, t3, OSTRANDER_FFT_LO2);
    r[3] = __builtin_shufflevector(t1, t3, OSTRANDER_FFT_HI2);
}
#endif
#undef OSTRANDER_FFT_LO
#undef OSTRANDER_FFT_HI
#undef OSTRANDER_FFT_LO2
#undef OSTRANDER_FFT_HI2

// Transforms `count` sequences; sequence s has point k's real part at
// data[s * laneStride + k * pointStride] and its imaginary part after it.
// scratch holds 2 n kLanes floats, aligned to 32 bytes.
inline void TransformBatch(float* data, long count, long laneStride, long pointStride,
                           const Plan& plan, Vec* scratch) {
    const int n = plan.n;
    Vec* re = scratch;
    Vec* im = scratch + n;
    for (long s0 = 0; s0 < count; s0 += kLanes) {
        const long lanes = count - s0 < kLanes ? count - s0 : kLanes;
        float* base = data + s0 * laneStride;
        const bool full = lanes == kLanes;
        if (full && laneStride == 2) {
            // Lanes are neighbouring complex values: one row of them per point.
            Mask any = {};
            for (int k = 0; k < n; ++k) {
                const float* p = base + plan.bitrev[k] * pointStride;
                const Vec a = Load(p), b = Load(p + kLanes);
                any |= (a != 0.0f) | (b != 0.0f);
                Deinterleave(a, b, re[k], im[k]);
            }
            // Sequences of zeros (the padding around a far field's aperture)
            // transform to zeros: they are left as they are.
            if (AllZero(any))
                continue;
        } else if (full && pointStride == 2 && n % kLanes == 0) {
            // Lanes are rows: transpose kLanes points x kLanes rows at a time.
            for (int k0 = 0; k0 < n; k0 += kLanes) {
                Vec r[kLanes], i[kLanes];
                for (int l = 0; l < kLanes; ++l) {
                    const float* p = base + l * laneStride + 2 * k0;
                    Deinterleave(Load(p), Load(p + kLanes), r[l], i[l]);
                }
                Transpose(r);
                Transpose(i);
                for (int q = 0; q < kLanes; ++q) {
                    re[plan.bitrev[k0 + q]] = r[q];
                    im[plan.bitrev[k0 + q]] = i[q];
                }
            }
        } else {
            for (int k = 0; k < n; ++k) {
                const float* p = base + plan.bitrev[k] * pointStride;
                Vec vr = Splat(0.0f), vi = Splat(0.0f);
                for (long l = 0; l < lanes; ++l) {
                    vr[l] = p[l * laneStride];
                    vi[l] = p[l * laneStride + 1];
                }
                re[k] = vr;
                im[k] = vi;
            }
        }

        Butterflies(re, im, plan);

        if (full && laneStride == 2) {
            for (int k = 0; k < n; ++k) {
                float* p = base + k * pointStride;
                Vec a, b;
                Interleave(re[k], im[k], a, b);
                Store(p, a);
                Store(p + kLanes, b);
            }
        } else if (full && pointStride == 2 && n % kLanes == 0) {
            for (int k0 = 0; k0 < n; k0 += kLanes) {
                Vec r[kLanes], i[kLanes];
                for (int q = 0; q < kLanes; ++q) {
                    r[q] = re[k0 + q];
                    i[q] = im[k0 + q];
                }
                Transpose(r);
                Transpose(i);
                for (int l = 0; l < kLanes; ++l) {
                    float* p = base + l * laneStride + 2 * k0;
                    Vec a, b;
                    Interleave(r[l], i[l], a, b);
                    Store(p, a);
                    Store(p + kLanes, b);
                }
            }
        } else {
            for (int k = 0; k < n; ++k) {
                float* p = base + k * pointStride;
                for (long l = 0; l < lanes; ++l) {
                    p[l * laneStride] = re[k][l];
                    p[l * laneStride + 1] = im[k][l];
                }
            }
        }
    }
}

// The entry point each build exports (declared in ComplexFFTDetail.h).
void Transform(float* data, long count, long laneStride, long pointStride, int n, const float* twRe,
               const float* twIm, const int* bitrev, float* scratch) {
    const Plan plan{n, twRe, twIm, bitrev};
    TransformBatch(data, count, laneStride, pointStride, plan, reinterpret_cast<Vec*>(scratch));
}
