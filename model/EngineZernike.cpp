#include "model/EngineZernike.h"

#include <cmath>

namespace ostrander {

void EngineZernikeIndex(int term, int& n, int& m) {
    n = 0;
    m = 0;
    for (int t = 0; t < term; ++t) {
        m += 2;
        if (m > n) {
            ++n;
            m = -n;
        }
    }
}

namespace {

double Factorial(int k) {
    double f = 1.0;
    for (int i = 2; i <= k; ++i)
        f *= i;
    return f;
}

} // namespace

double EngineZernikeValue(int n, int m, double rho, double theta) {
    const int k = m < 0 ? -m : m;
    double radial = 0.0;
    for (int s = 0; s <= (n - k) / 2; ++s) {
        const double sign = (s % 2 == 0) ? 1.0 : -1.0;
        const double coefficient =
            sign * Factorial(n - s) /
            (Factorial(s) * Factorial((n + k) / 2 - s) * Factorial((n - k) / 2 - s));
        const double power = (n == 2 * s) ? 1.0 : std::pow(rho, n - 2 * s);
        radial += coefficient * power;
    }
    if (m < 0)
        return radial * std::cos(m * theta);
    if (m > 0)
        return radial * std::sin(m * theta);
    return radial;
}

} // namespace ostrander
