#include "formats/InfluenceCube.h"

namespace ostrander {

FitsImage InfluenceCubeImage(const std::vector<double>& stack, int n, int planes) {
    FitsImage image;
    image.columns = image.rows = n;
    image.planes = planes;
    const auto plane = static_cast<std::size_t>(n > 0 ? n : 0) * static_cast<std::size_t>(n > 0 ? n : 0);
    if (n <= 0 || planes <= 0 || stack.size() != plane * static_cast<std::size_t>(planes))
        return image;
    image.values.resize(stack.size());
    for (int p = 0; p < planes; ++p)
        for (int r = 0; r < n; ++r)
            for (int c = 0; c < n; ++c)
                image.values[plane * p + static_cast<std::size_t>(r) * n + c] =
                    stack[plane * p + static_cast<std::size_t>(c) * n + r];
    return image;
}

} // namespace ostrander
