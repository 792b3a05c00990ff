#pragma once
// Colours in the 0x00BBGGRR layout (red in the lowest byte). Values with the
// top bit set are system colours, resolved through the application palette.
#include <cstdint>
#include <functional>

namespace ostrander {

using TColor = std::int32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clNone = 0x1FFFFFFF;

inline constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
inline constexpr TColor clBtnFace = static_cast<TColor>(0x8000000Fu);
inline constexpr TColor clWindow = static_cast<TColor>(0x80000005u);
inline constexpr TColor clWindowText = static_cast<TColor>(0x80000008u);

constexpr TColor RGBColor(int r, int g, int b) {
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int RedOf(TColor c) {
    return c & 0xFF;
}
constexpr int GreenOf(TColor c) {
    return (c >> 8) & 0xFF;
}
constexpr int BlueOf(TColor c) {
    return (c >> 16) & 0xFF;
}
constexpr bool IsSystemColor(TColor c) {
    return (static_cast<std::uint32_t>(c) & 0x80000000u) != 0;
}

// Plain RGB of a colour; system colours go through the installed resolver
// (the Qt layer installs one reading the application palette), otherwise
// fixed defaults (button face 0xF0F0F0, window white, window text black).
TColor ColorToRGB(TColor c);
void SetSystemColorResolver(std::function<TColor(TColor)> resolver);

} // namespace ostrander
