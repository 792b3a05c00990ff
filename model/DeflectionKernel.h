#pragma once
// The inner loop of the analytic deflection: one actuator's contribution to
// every grid point. Built for the baseline instruction set and for AVX2; both
// give bit-identical results (no fused multiply-adds, the same order of
// operations, the same logarithm).
#include "model/Grid.h"

#include <cstdint>

namespace ostrander {

struct ActuatorDeflection {
    double xa, ya; // actuator centre as given, m
    double ax, ay; // the centre rebuilt from its polar form, m
    double Jc;     // contact radius, m
    double w;      // -F / (2 pi S t), m
    double A;      // deflection at the rim of the contact disc, m
    double R;      // membrane radius, m
};

enum class DeflectionKernel { Automatic, Scalar, Avx2 };

// Adds the contribution to z[i][j] of the n x n grid z at x = (i - n/2) dx,
// y = (j - n/2) dx; points farther than R from the centre are set to 0.
// Returns false (and does nothing) when the chosen kernel is not available or
// z is not square.
bool AddActuatorDeflection(Grid<double>& z, double dx, const ActuatorDeflection& a,
                           DeflectionKernel kernel = DeflectionKernel::Automatic);

} // namespace ostrander
