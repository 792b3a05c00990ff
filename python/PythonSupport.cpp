#include "python/PythonSupport.h"

#include "toolkit/Paths.h"
#include "toolkit/qt/DeviceFolders.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>

namespace ostrander::python {

void Raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

namespace {
PyObject* warningCategory = PyExc_UserWarning;
}

void MakeWarningCategory(py::module_& module) {
    PyObject* category =
        PyErr_NewExceptionWithDoc("ostrander.OstranderWarning",
                                  "A result that is not to be trusted as it stands, or input that "
                                  "was not what it seemed (the warnings ostrander-cli prints).",
                                  PyExc_UserWarning, nullptr);
    if (category == nullptr)
        throw py::error_already_set();
    warningCategory = category;
    module.add_object("OstranderWarning", py::handle(category));
}

void Warn(const std::vector<RunWarning>& warnings) {
    for (const RunWarning& w : warnings)
        // stacklevel 1: the line of the Python code that made the call.
        if (PyErr_WarnEx(warningCategory, w.message.c_str(), 1) != 0)
            throw py::error_already_set(); // warnings turned into errors
}

namespace {

// An array over a vector that it owns from now on; strides in elements.
py::array_t<double> ViewOf(std::vector<double> values, std::vector<py::ssize_t> shape,
                           std::vector<py::ssize_t> strides) {
    auto* owned = new std::vector<double>(std::move(values));
    py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<double>*>(p); });
    for (py::ssize_t& s : strides)
        s *= static_cast<py::ssize_t>(sizeof(double));
    return py::array_t<double>(std::move(shape), std::move(strides), owned->data(), owner);
}

} // namespace

py::array_t<double> GridArray(std::vector<double> engineLayout, int n) {
    if (n <= 0 || engineLayout.size() != static_cast<std::size_t>(n) * n)
        return py::array_t<double>(std::vector<py::ssize_t>{0, 0});
    // Row y is the engine's second index (stride 1), column x its first.
    return ViewOf(std::move(engineLayout), {n, n}, {1, n});
}

py::array_t<double> CubeArray(std::vector<double> engineLayout, int n, int planes) {
    if (n <= 0 || planes <= 0 ||
        engineLayout.size() != static_cast<std::size_t>(n) * n * static_cast<std::size_t>(planes))
        return py::array_t<double>(std::vector<py::ssize_t>{0, 0, 0});
    const py::ssize_t plane = static_cast<py::ssize_t>(n) * n;
    return ViewOf(std::move(engineLayout), {planes, n, n}, {plane, 1, n});
}

std::vector<double> EngineLayoutOf(const py::handle& grid, int n, const char* what) {
    auto values = py::array_t<double, py::array::forcecast>::ensure(grid);
    if (!values) {
        PyErr_Clear();
        Raise(PyExc_ValueError, std::string(what) + " is not an array of numbers");
    }
    if (values.ndim() != 2 || values.shape(0) != n || values.shape(1) != n) {
        std::string shape = "(";
        for (py::ssize_t d = 0; d < values.ndim(); ++d)
            shape += (d ? ", " : "") + std::to_string(values.shape(d));
        shape += values.ndim() == 1 ? ",)" : ")";
        Raise(PyExc_ValueError, std::string(what) + " has shape " + shape +
                                    ", but the mirror's grid is " + std::to_string(n) + " x " +
                                    std::to_string(n) + " samples ([row y][column x], as Mirror.grid)");
    }
    const auto view = values.unchecked<2>();
    std::vector<double> out(static_cast<std::size_t>(n) * n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            out[static_cast<std::size_t>(i) * n + j] = view(j, i);
    return out;
}

py::array_t<double> Axis(int n, double step) {
    py::array_t<double> axis(n);
    auto out = axis.mutable_unchecked<1>();
    for (int k = 0; k < n; ++k)
        out(k) = (k - n / 2) * step;
    return axis;
}

namespace {

void CheckFinite(int number, double volts) {
    if (!std::isfinite(volts))
        Raise(PyExc_ValueError, "the voltage of actuator " + std::to_string(number) + " is " +
                                    std::string(std::isnan(volts) ? "NaN" : "infinite") +
                                    ", not a number of volts");
}

} // namespace

std::vector<std::pair<int, double>> VoltagePairs(const py::handle& volts, int actuators) {
    const std::string range = "the mirror has actuators 1 to " + std::to_string(actuators);
    std::vector<std::pair<int, double>> pairs;
    if (py::isinstance<py::dict>(volts)) {
        for (const auto& [key, value] : py::reinterpret_borrow<py::dict>(volts)) {
            if (!PyIndex_Check(key.ptr()))
                Raise(PyExc_ValueError, "volts: the key " + py::repr(key).cast<std::string>() +
                                            " is not a display number; " + range);
            const long long number = key.cast<long long>();
            if (number < 1 || number > actuators)
                Raise(PyExc_ValueError,
                      "volts: actuator " + std::to_string(number) + " does not exist; " + range);
            const double v = py::float_(py::reinterpret_borrow<py::object>(value));
            CheckFinite(static_cast<int>(number), v);
            pairs.emplace_back(static_cast<int>(number), v);
        }
        return pairs;
    }
    auto values = py::array_t<double, py::array::forcecast>::ensure(volts);
    if (!values) {
        PyErr_Clear();
        Raise(PyExc_ValueError,
              "volts must be a sequence of numbers, one per actuator, or a dict {display number: volts}");
    }
    if (values.ndim() != 1 || values.size() != actuators)
        Raise(PyExc_ValueError, "volts holds " + std::to_string(values.size()) +
                                    (values.ndim() == 1 ? "" : " values in " +
                                                                   std::to_string(values.ndim()) +
                                                                   " dimensions") +
                                    (values.ndim() == 1 ? " values" : "") + ", but " + range +
                                    ": give one voltage per actuator, or a dict {number: volts}");
    const auto view = values.unchecked<1>();
    for (int k = 0; k < actuators; ++k) {
        CheckFinite(k + 1, view(k));
        pairs.emplace_back(k + 1, view(k));
    }
    return pairs;
}

bool InterruptCheck::operator()() {
    if (raised_)
        return true;
    using namespace std::chrono;
    const long long now =
        duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
    if (now - lastNs_ < 20'000'000)
        return false;
    lastNs_ = now;
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0)
        raised_ = true;
    return raised_;
}

void InterruptCheck::ThrowIfRaised() const {
    if (raised_ && PyErr_Occurred())
        throw py::error_already_set();
    if (raised_)
        Raise(PyExc_KeyboardInterrupt, "interrupted");
}

void UseDevices(const std::string& devices) {
    static const bool programFolderSet = [] {
        // The programs' folder, found from this module's file.
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&UseDevices), &info) == 0 || info.dli_fname == nullptr)
            return false;
        std::error_code ec;
        const std::filesystem::path bin = std::filesystem::weakly_canonical(
            std::filesystem::absolute(info.dli_fname, ec).parent_path() / OSTRANDER_MODULE_TO_BIN,
            ec);
        if (!ec)
            SetProgramFolder(bin.string());
        return !ec;
    }();
    (void)programFolderSet;
    std::string error;
    if (!SetUpDeviceFolder(devices, error))
        Raise(PyExc_FileNotFoundError, error);
}

} // namespace ostrander::python
