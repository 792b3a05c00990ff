#pragma once
// The twelve built-in Fourier modes of the 61/62-channel mirror: whole volts
// 0 to 49 per channel (entry 62, the membrane's own channel, is 0).
namespace ostrander {

inline constexpr int FourierModeCount = 12;
inline constexpr int FourierModeLength = 62;

extern const double FourierModeTables[FourierModeCount][FourierModeLength];

} // namespace ostrander
