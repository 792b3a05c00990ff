// Setting voltages through the mirror's rules: each request computes the
// prospective mean over all actuators and recomputes the mean, so one
// request costs O(actuators) and setting all of them O(actuators^2).
#include "Shared_Software/Mirror/MirrorClass.h"
#include "toolkit/Paths.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace ostrander {
namespace {

// A mirror of n actuators in a temporary device folder.
class TemporaryMirror {
public:
    explicit TemporaryMirror(int n) {
        root_ = std::filesystem::temp_directory_path() /
                ("ostrander-bench-" + std::to_string(::getpid()) + "-" + std::to_string(n));
        std::filesystem::create_directories(root_ / "bin");
        std::filesystem::create_directories(root_ / "Devices");
        std::ofstream out(root_ / "Devices" / "m.ini");
        out << "[General]\nFileType=Mirror Info\nLimitVoltage=150\n[DM Model]\nActuators=" << n
            << "\n";
        for (int i = 0; i < n; ++i)
            out << "[A" << i << "]\nIndex=" << i << "\n";
        out.close();
        SetProgramFolder((root_ / "bin").string());
        mirror = std::make_unique<MirrorClass>(std::string(DeviceFolderRelative) + "m.ini");
    }
    ~TemporaryMirror() {
        mirror.reset();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    std::unique_ptr<MirrorClass> mirror;

private:
    std::filesystem::path root_;
};

void BM_SetVoltage(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TemporaryMirror t(n);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(t.mirror->SetVoltage(1 + i % n, 100.0 + i % 7));
        ++i;
    }
}
BENCHMARK(BM_SetVoltage)->Arg(62)->Arg(4096);

void BM_SetAllActuators(benchmark::State& state) {
    TemporaryMirror t(static_cast<int>(state.range(0)));
    double v = 0;
    for (auto _ : state) {
        t.mirror->SetAllActuators(v);
        v = v < 300 ? v + 50 : 0;
    }
}
BENCHMARK(BM_SetAllActuators)->Arg(62)->Arg(4096)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace ostrander
