// Every reader (ini text, mirror info, mirror object, map, pattern set, CSV
// surface) on the worst-shaped file it accepts: as large as its size
// limit allows, shaped to make per-item work as costly as it can. Each
// should stay well under a second.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Pattern/PatternClass.h"
#include "driver/DriverClass.h"
#include "formats/SurfaceFile.h"
#include "tests/support/PatternSections.h"
#include "toolkit/IniFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace ostrander {
namespace {

namespace fs = std::filesystem;

// A folder for the generated files, removed at exit.
const fs::path& Folder() {
    static const fs::path folder = [] {
        std::string templ = (fs::temp_directory_path() / "ostrander-bench-XXXXXX").string();
        if (::mkdtemp(templ.data()) == nullptr)
            std::abort();
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(Folder(), ec);
        });
        return fs::path(templ);
    }();
    return folder;
}

std::string Save(const std::string& name, const std::string& text) {
    const fs::path path = Folder() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

// Appends items made by next(i) to text while the whole stays within limit.
template <class Next> std::string FillTo(std::string text, std::size_t limit, Next next) {
    for (long i = 0;; ++i) {
        const std::string item = next(i);
        if (text.size() + item.size() > limit)
            return text;
        text += item;
    }
}

const std::string kMirrorHead = "[General]\nFileType=Mirror Info\nDeviceName=Worst\n"
                                "LimitVoltage=100\n[DM Model]\nDiameter_m=0.01\n";

// A mirror info file at the ini reader's limit made of the tiniest actuator
// sections, each with its own index; the list holds them in reverse order,
// so a lookup by index walks furthest for the lowest numbers.
std::string WorstMirrorFile(bool declareActuators) {
    static std::string files[2];
    std::string& file = files[declareActuators ? 1 : 0];
    if (file.empty()) {
        const std::string head = kMirrorHead + (declareActuators ? "Actuators=4096\n" : "");
        file = Save(declareActuators ? "worst4096.ini" : "worst.ini",
                    FillTo(head, IniFile::MaxFileBytes, [](long i) {
                        return "[" + std::to_string(i) + "]\nIndex=" + std::to_string(i) + "\n";
                    }));
    }
    return file;
}

void BM_IniParseAtLimit(benchmark::State& state) {
    // 0: one section of tiny distinct keys; 1: tiny distinct sections.
    const bool sections = state.range(0) == 1;
    const std::string text = FillTo("[S]\n", IniFile::MaxFileBytes, [sections](long i) {
        return sections ? "[" + std::to_string(i) + "]\n" : std::to_string(i) + "=\n";
    });
    for (auto _ : state) {
        IniFile ini = IniFile::FromText(text);
        benchmark::DoNotOptimize(ini.SectionExists("S"));
    }
    state.SetBytesProcessed(static_cast<long>(state.iterations() * text.size()));
}
BENCHMARK(BM_IniParseAtLimit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The setup window's preview: the whole file read into a MirrorInfoClass.
void BM_MirrorInfoAtLimit(benchmark::State& state) {
    const std::string file = WorstMirrorFile(state.range(0) == 1);
    for (auto _ : state) {
        MirrorInfoClass info(file);
        benchmark::DoNotOptimize(info.DisplayIndexByIndex.data());
    }
}
BENCHMARK(BM_MirrorInfoAtLimit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Loading the mirror: its own info, the driver of 4096 channels, the tables.
void BM_MirrorObjectAtLimit(benchmark::State& state) {
    const std::string file = WorstMirrorFile(true);
    for (auto _ : state) {
        MirrorClass mirror(file);
        if (!mirror.IsValid())
            state.SkipWithError("mirror not valid");
        benchmark::DoNotOptimize(mirror.GetActuatorCount());
    }
}
BENCHMARK(BM_MirrorObjectAtLimit)->Unit(benchmark::kMillisecond);

// A map file at its limit renumbering a model of 4096 actuators, pairs
// naming the actuators that lie furthest down the list.
void BM_MapFileAtLimit(benchmark::State& state) {
    DMInfoClass model;
    IniFile ini;
    ini.Load(WorstMirrorFile(true));
    model.Load(ini);
    const std::string text = FillTo("", DMInfoClass::MaxMapFileBytes, [](long i) {
        return std::to_string(1 + i % 4096) + " " + std::to_string(i % 4096) + "\n";
    });
    for (auto _ : state) {
        model.ApplyMapText(text);
        benchmark::DoNotOptimize(model.ActuatorList.first);
    }
}
BENCHMARK(BM_MapFileAtLimit)->Unit(benchmark::kMillisecond);

// The pattern-set reader at its voltage limit (244 patterns of 4096), read
// plainly (0) and through a reversed actuator map (1), the order in which
// each voltage's predecessor lies furthest away.
void BM_PatternSetAtLimit(benchmark::State& state) {
    const bool mapped = state.range(0) == 1;
    static const std::string file = [] {
        return Save("worst.pat", "[General]\nFileType=Actuator Pattern Set\nPatternSetName=Worst\n"
                                 "PatternCount=244\nVoltageCount=4096\nUse DM Indexing=1\n" +
                                     testing_support::UnitPatternSections(244, 4096));
    }();
    std::vector<int> map(4096);
    for (int j = 0; j < 4096; ++j)
        map[static_cast<std::size_t>(j)] = 4096 - j;
    for (auto _ : state) {
        PatternClass set(file, mapped ? map.data() : nullptr, mapped ? 4096 : 0);
        if (!set.IsValid())
            state.SkipWithError("set not valid");
        benchmark::DoNotOptimize(set.first);
    }
}
BENCHMARK(BM_PatternSetAtLimit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A target surface at the CSV reader's 64 MiB limit: blank lines only (0),
// or a 256 x 256 grid whose values are padded with blanks to the limit (1).
void BM_SurfaceCsvAtLimit(benchmark::State& state) {
    constexpr std::size_t limit = 64u << 20;
    constexpr int n = 256;
    const bool grid = state.range(0) == 1;
    static std::string files[2];
    std::string& file = files[grid ? 1 : 0];
    if (file.empty()) {
        std::string text;
        if (!grid) {
            text.assign(limit, '\n');
        } else {
            const std::size_t pad = limit / (static_cast<std::size_t>(n) * n) - 3;
            const std::string field = std::string(pad, ' ') + "0";
            for (int r = 0; r < n; ++r)
                for (int c = 0; c < n; ++c)
                    text += field + (c + 1 < n ? "," : "\n");
        }
        file = Save(grid ? "padded.csv" : "blank.csv", text);
    }
    for (auto _ : state) {
        std::vector<double> values;
        std::string error;
        const bool read = ReadSurfaceTarget(file, EngineGrid{n, 0.0, 0.0, 0.0}, values, error);
        if (grid != read)
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(values.data());
    }
}
BENCHMARK(BM_SurfaceCsvAtLimit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace ostrander
