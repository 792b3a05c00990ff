#include "formats/InfluenceCube.h"

#include <utility>

namespace ostrander {

FitsImage InfluenceCubeImage(std::vector<double> stack, int n, int planes) {
    FitsImage image;
    image.columns = image.rows = n;
    image.planes = planes;
    const auto plane = static_cast<std::size_t>(n > 0 ? n : 0) * static_cast<std::size_t>(n > 0 ? n : 0);
    if (n <= 0 || planes <= 0 || stack.size() != plane * static_cast<std::size_t>(planes))
        return image;
    for (int p = 0; p < planes; ++p) {
        double* square = stack.data() + plane * p;
        for (int r = 0; r < n; ++r)
            for (int c = r + 1; c < n; ++c)
                std::swap(square[static_cast<std::size_t>(r) * n + c],
                          square[static_cast<std::size_t>(c) * n + r]);
    }
    image.values = std::move(stack);
    return image;
}

void InfluenceCubePlane(const std::vector<double>& stack, int n, int plane,
                        std::vector<double>& values) {
    const auto size = static_cast<std::size_t>(n > 0 ? n : 0);
    values.assign(size * size, 0.0);
    const std::size_t first = size * size * static_cast<std::size_t>(plane > 0 ? plane : 0);
    if (n <= 0 || plane < 0 || first + size * size > stack.size())
        return;
    const double* square = stack.data() + first;
    for (std::size_t r = 0; r < size; ++r)
        for (std::size_t c = 0; c < size; ++c)
            values[r * size + c] = square[c * size + r];
}

} // namespace ostrander
