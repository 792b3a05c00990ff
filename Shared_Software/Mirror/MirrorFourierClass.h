#pragma once
// Twelve Fourier-like actuator modes of the 61/62-channel mirror, each scaled
// to a largest value of 1. Every object holds its own scaled copy.
#include "Shared_Software/Mirror/FourierTables.h"

#include <array>
#include <vector>

namespace ostrander {

class MirrorFourierClass {
public:
    static constexpr int ModeCount = FourierModeCount;
    static constexpr int ModeLength = FourierModeLength;

    // actuators: the model's Actuators value; square is accepted and not used.
    MirrorFourierClass(int actuators, bool square);

    // Modes are present (61 or 62 actuators).
    bool IsValid() const { return Valid; }

    int ChannelCount = 0;
    // Each mode: ModeLength values (channels 1 .. 62), or empty when absent.
    // Only the first ChannelCount values are scaled.
    std::array<std::vector<double>, ModeCount> Modes;
    // Each mode's divisor: its largest value over the first ChannelCount
    // entries, cut to a whole number; 0 when none is above 0.
    std::array<double, ModeCount> ModeMaximum{};

private:
    bool Valid = false;
};

} // namespace ostrander
