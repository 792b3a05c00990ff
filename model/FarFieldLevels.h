#pragma once
// The grey levels of one far field, which the far-field image and plot both
// sample (model/pictures/FarFieldPictures.h makes them). The engine's
// working state keeps them with the number of the far field they were made
// from, so that each far field is scaled once for both pictures.
#include <cstdint>
#include <vector>

namespace ostrander {

struct FarFieldLevels {
    int size = 0;
    // Largest intensity of the transform: 0 without one, NaN when an element
    // is not finite.
    double largest = 0.0;
    // Level 0..255 of element (r, c), both 1-based, at [(c - 1) size + r - 1]
    // (by columns, so that a picture row reads along memory); empty unless
    // largest is finite and positive.
    std::vector<std::uint8_t> levels;
    // The far field they were made from (MainData::FarFieldGeneration), when
    // kept by the engine.
    bool made = false;
    std::uint64_t generation = 0;
};

} // namespace ostrander
