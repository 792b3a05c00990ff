#pragma once
// FITS images of doubles for the grids a run writes, so astronomy and
// adaptive-optics tools read them with their scales and units. Written by
// this code alone (cfitsio only reads, formats/Cfitsio.h), card for card as
// cfitsio writes such an image, so that writing a grid loads no library.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
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

// The image as the bytes of a FITS file. False with a message when the
// sizes do not match the values or a card cannot be written (a keyword that
// is not one, a value that is not finite).
bool FitsBytes(const FitsImage& image, std::string& bytes, std::string& error);

// The same file made in pieces, never held whole (an influence cube of many
// pads runs to hundreds of megabytes): the header of image (its sizes and
// cards; its values are not used), then plane p = 0 .. planes - 1 as
// plane(p, values) fills values (columns x rows, as FitsImage lays a plane
// out), then the fill to whole records. sink takes the bytes in order; false
// when it refuses them (the reason is then the sink's), or with the reason
// in error.
using FitsPlane = std::function<void(int plane, std::vector<double>& values)>;
bool FitsInPieces(const FitsImage& image, const FitsPlane& plane,
                  const std::function<bool(std::string_view)>& sink, std::string& error);

} // namespace ostrander
