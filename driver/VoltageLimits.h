#pragma once
// The two voltages every layer above the driver shares.
namespace ostrander {

// Volts every channel is held at when no actuator is above it: after an
// influence-function run and on every idle pass that finds none higher.
inline constexpr double kFloorVoltage = 0.1;
// The driver's highest output voltage (V); the peak-voltage fraction that the
// three-dimensional image shows is taken against it.
inline constexpr double kCeilingVoltage = 350.0;

} // namespace ostrander
