#pragma once
// FITS images of doubles for the grids a run writes, so astronomy and
// adaptive-optics tools read them with their scales and units.
#include <cstddef>
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

// The bytes of a FITS file as cfitsio made them in memory, held without a
// copy (a cube of influence functions runs to tens of megabytes).
class FitsMemory {
public:
    FitsMemory() = default;
    FitsMemory(const FitsMemory&) = delete;
    FitsMemory& operator=(const FitsMemory&) = delete;
    ~FitsMemory();
    std::string_view View() const { return {static_cast<const char*>(data_), length_}; }

private:
    friend bool FitsBytes(const FitsImage& image, FitsMemory& memory, std::string& error);
    void* data_ = nullptr;    // malloc'd; cfitsio grows it with realloc
    std::size_t size_ = 0;    // bytes allocated
    std::size_t length_ = 0;  // bytes of the file
};

// The image as the bytes of a FITS file (through cfitsio in memory). False
// with a message when the sizes do not match the values or cfitsio refuses.
bool FitsBytes(const FitsImage& image, FitsMemory& memory, std::string& error);
bool FitsBytes(const FitsImage& image, std::string& bytes, std::string& error);

} // namespace ostrander
