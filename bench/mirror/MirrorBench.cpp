// Checked list operations, model lookups and reading a 62-channel mirror.
#include "Shared_Software/Mirror/DMInfoClass.h"
#include "Shared_Software/Mirror/MirrorInfoClass.h"
#include "Shared_Software/Lists/tl_list.h"
#include "toolkit/IniFile.h"
#include "toolkit/Paths.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ostrander {
namespace {

struct Node : ListLinks<Node> {
    int id = 0;
};

// Append and remove one element on a list of the given length: constant time.
void BM_ListAppendRemove(benchmark::State& state) {
    std::vector<Node> nodes(static_cast<std::size_t>(state.range(0)) + 1);
    ListHead<Node> list;
    for (std::size_t i = 1; i < nodes.size(); ++i)
        LLBACK(list, &nodes[i]);
    Node* extra = &nodes[0];
    for (auto _ : state) {
        LLBACK(list, extra);
        LLREMOVE(list, extra);
        benchmark::DoNotOptimize(list.last);
    }
}
BENCHMARK(BM_ListAppendRemove)->Arg(10)->Arg(1000);

std::string ShippedText(const char* name) {
    std::ifstream in(std::string(OSTRANDER_SOURCE_DIR) + "/Devices/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void BM_ReadMirrorInfo62(benchmark::State& state) {
    const IniFile ini = IniFile::FromText(ShippedText("Hex61S.ini"));
    for (auto _ : state) {
        MirrorInfoClass info("..\\Devices\\Hex61S.ini", ini, std::nullopt);
        benchmark::DoNotOptimize(info.DisplayIndexByIndex.data());
    }
}
BENCHMARK(BM_ReadMirrorInfo62);

// Finding every actuator by display number walks the list each time.
void BM_FindAllByDisplayIndex62(benchmark::State& state) {
    DMInfoClass model;
    model.Load(IniFile::FromText(ShippedText("Hex61S.ini")));
    for (auto _ : state)
        for (int n = 1; n <= 62; ++n)
            benchmark::DoNotOptimize(model.FindByDisplayIndex(n));
}
BENCHMARK(BM_FindAllByDisplayIndex62);

} // namespace
} // namespace ostrander
