#include "model/ShapeName.h"

#include <cmath>
#include <cstdio>

namespace ostrander {

namespace {

struct TermName {
    int noll;
    const char* name;
};
// Noll 2 and 3 tilt along x and y, 5 and 6 astigmatism at 45 and 0
// degrees, 7 and 8 coma along y and x (theta from +x towards +y).
constexpr TermName kTerms[] = {{4, "Focus"},
                               {2, "Tilt X"},
                               {3, "Tilt Y"},
                               {6, "Astigmatism 0 deg"},
                               {5, "Astigmatism 45 deg"},
                               {8, "Coma X"},
                               {7, "Coma Y"}};

} // namespace

// An amplitude of hundredths of a micrometre in metres, the same double
// whether it comes from the ladder or from a name read back.
double SampleAmplitude(double um) {
    return std::round(um * 100) / 100 * 1e-6;
}

std::string SampleShapeName(const SampleShape& shape, double bias) {
    char text[96];
    if (shape.noll == 0) {
        std::snprintf(text, sizeof text, "Flat at %g V", bias);
        return text;
    }
    for (const TermName& t : kTerms)
        if (t.noll == shape.noll) {
            std::snprintf(text, sizeof text, "%s %+.2f um RMS", t.name, shape.amplitude * 1e6);
            return text;
        }
    return {};
}

std::optional<SampleShape> ParseSampleShapeName(const std::string& name, double* bias) {
    double number = 0;
    char rest[8] = {};
    if (std::sscanf(name.c_str(), "Flat at %lf V%7s", &number, rest) == 1 && number > 0) {
        if (bias)
            *bias = number;
        const SampleShape flat;
        return SampleShapeName(flat, number) == name ? std::optional(flat) : std::nullopt;
    }
    for (const TermName& t : kTerms) {
        const std::string prefix = std::string(t.name) + " ";
        if (name.rfind(prefix, 0) != 0)
            continue;
        if (std::sscanf(name.c_str() + prefix.size(), "%lf um RMS%7s", &number, rest) != 1)
            return std::nullopt;
        const SampleShape shape{t.noll, SampleAmplitude(number)};
        // Only the name this shape is written as, so names map one to one.
        if (shape.amplitude == 0 || SampleShapeName(shape, 0) != name)
            return std::nullopt;
        return shape;
    }
    return std::nullopt;
}

std::string ShapeTermLabel(int noll) {
    for (const TermName& t : kTerms)
        if (t.noll == noll)
            return t.name;
    return {};
}

} // namespace ostrander
