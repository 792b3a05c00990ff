#pragma once
// Influence functions as a FITS cube: planes of an engine-layout stack
// (plane p, element (i, j) with i along x at [(p n + i) n + j]) laid out as
// the result grids are stored, row r along y and column c along x, one
// image plane per actuator. The caller adds the header cards.
#include "formats/FitsFile.h"

#include <vector>

namespace ostrander {

// n x n x planes; empty values when the stack is not that size. The stack is
// taken (move it in) and transposed plane by plane where it lies, so a large
// cube is never held twice.
FitsImage InfluenceCubeImage(std::vector<double> stack, int n, int planes);

// Plane `plane` of the stack laid out as InfluenceCubeImage lays it, into
// values (n x n), for a cube written plane by plane (FitsInPieces).
void InfluenceCubePlane(const std::vector<double>& stack, int n, int plane,
                        std::vector<double>& values);

} // namespace ostrander
