#pragma once
// What the Python module's bindings share: errors raised as the Python
// exceptions the module documents, warnings through Python's warnings
// module, numpy arrays over the engine's vectors in the orientation of the
// result files, voltages taken from Python objects, the Ctrl-C check of long
// calls, and the device folder chosen as the programs choose it.
#include "results/RunWarnings.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <functional>
#include <string>
#include <vector>

namespace ostrander::python {

namespace py = pybind11;

// Raises ValueError, FileNotFoundError or RuntimeError (the type given) with
// the message, as a C++ exception pybind11 passes on.
[[noreturn]] void Raise(PyObject* type, const std::string& message);

// The module's warning category, ostrander.OstranderWarning (a UserWarning),
// made once when the module is imported.
void MakeWarningCategory(py::module_& module);
// Each warning's message through warnings.warn in that category.
void Warn(const std::vector<RunWarning>& warnings);

// An n x n grid in engine layout (sample (i, j), i along x, at [i n + j]) as
// a float64 array [row y][column x], the orientation of the result files,
// without a copy: the array views the vector, which it then owns.
py::array_t<double> GridArray(std::vector<double> engineLayout, int n);
// planes such grids one after the other, as an array [plane][y][x].
py::array_t<double> CubeArray(std::vector<double> engineLayout, int n, int planes);
// A grid given as [row y][column x] (any float-convertible array), back into
// engine layout; ValueError unless it is n x n.
std::vector<double> EngineLayoutOf(const py::handle& grid, int n, const char* what);
// k - n/2 times the step, k = 0 .. n-1: a grid's coordinates along an axis.
py::array_t<double> Axis(int n, double step);

// One voltage per display number 1 .. actuators: a sequence (or 1-D array)
// of that length, or a dict {display number: volts} for some of them (the
// others at the floor). ValueError for a wrong length, a number outside the
// mirror, or a voltage that is not finite.
std::vector<std::pair<int, double>> VoltagePairs(const py::handle& volts, int actuators);

// A cancel check for a long call that runs without the GIL: it takes the GIL
// now and then (at most every 20 ms) to let Python's signal handlers run.
// Once a handler raised (KeyboardInterrupt on Ctrl-C) the check answers true
// from then on and Raised() tells; the caller then rethrows the error, which
// waits on the thread, once it holds the GIL again.
class InterruptCheck {
public:
    bool operator()();
    bool Raised() const { return raised_; }
    // After the call, with the GIL held: throws the pending Python error if
    // a handler raised one.
    void ThrowIfRaised() const;

private:
    bool raised_ = false;
    long long lastNs_ = 0;
};

// Makes the device folder of the process the one the programs would choose,
// with `devices` in the place of their --devices option (empty: none).
// FileNotFoundError with the programs' message for a folder that does not
// exist. The program folder is set first, from the module's own place.
void UseDevices(const std::string& devices);

} // namespace ostrander::python
