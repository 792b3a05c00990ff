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

} // namespace ostrander
