#pragma once
// The files of `influence`: the influence functions per volt squared as a
// FITS cube, the actuators as CSV, and the description of both as JSON, so
// another simulation can build the mirror from them. Grids are stored as the
// result files store them: row r is y = (r - n/2) dx, column c is
// x = (c - n/2) dx, in the frame of the actuator coordinates.
#include "results/ResultFiles.h"

#include <string>
#include <vector>

namespace ostrander {

class DMInfoClass;
struct FitsImage;

struct InfluenceSet {
    int n = 0;         // samples per side
    int actuators = 0; // planes, display numbers 1 .. actuators
    double runVoltage = 0.0; // V, at which the functions were computed
    int electrode = 0;       // display number of the membrane electrode, 0 for none
    std::string model;       // membrane model
};

// NAXIS1 x, NAXIS2 y, NAXIS3 the display number (plane p is number p + 1).
// `planes` are in the engine layout: plane k - 1, element (i, j) with i along
// x at [((k - 1) n + i) n + j], metres per volt squared; they are taken (move
// them in) and become the image.
FitsImage InfluenceFits(const InfluenceSet& set, std::vector<double> planes,
                        const RunGeometry& geometry);
// Its sizes and cards without the values, for the cube written plane by
// plane from the stack (InfluenceCubePlane).
FitsImage InfluenceFitsHeader(const InfluenceSet& set, const RunGeometry& geometry);

// display_number,channel,x_m,y_m,pad_x_m,pad_y_m,inner_radius_m,outer_radius_m,shape,
// membrane_electrode,plane, one line per display number 1 .. actuators.
std::string ActuatorsCsv(const DMInfoClass& model, int actuators);

std::string InfluenceSummaryJson(const InfluenceSet& set, const SummaryContext& context);

} // namespace ostrander
