#pragma once
// FITS images of doubles for the grids a run writes, so astronomy and
// adaptive-optics tools read them with their scales and units.
#include <string>
#include <variant>
#include <vector>

namespace ostrander {

// One header card: a keyword of up to 8 letters, its value and a comment.
struct FitsKey {
    std::string name;
    std::variant<double, long long, bool, std::string> value;
    std::string comment;
};

// A primary image of planes x rows x columns doubles, element (p, r, c) at
// [(p * rows + r) * columns + c]; NAXIS1 runs along a row (columns),
// NAXIS2 over rows, NAXIS3 over planes when there is more than one, so a
// reader that returns [plane][row][column] arrays gives the same layout.
struct FitsImage {
    int columns = 0;
    int rows = 0;
    int planes = 1;
    std::vector<double> values;
    std::vector<FitsKey> keys;
    std::vector<std::string> comments; // COMMENT cards
};

// The image as the bytes of a FITS file (through cfitsio in memory). False
// with a message when the sizes do not match the values or cfitsio refuses.
bool FitsBytes(const FitsImage& image, std::string& bytes, std::string& error);

} // namespace ostrander
