#pragma once
// The round test membrane of the exact model's tests.
#include "model/MembraneGeometry.h"

#include <utility>
#include <vector>

namespace ostrander::testing {

// A round 10 mm membrane, 1 um thick at 100 MPa (T = 100 N/m), 40 um gap.
inline MembraneGeometry RoundMembrane(std::vector<MembranePad> pads) {
    MembraneGeometry g;
    g.diameter_m = 10e-3;
    g.yExtent_m = 10e-3;
    g.stress_Pa = 100e6;
    g.thickness_m = 1e-6;
    g.separation_m = 40e-6;
    g.pads = std::move(pads);
    return g;
}

} // namespace ostrander::testing
