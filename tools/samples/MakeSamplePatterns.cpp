// Writes the sample pattern sets of the mirrors in a device folder, with a
// report of the shapes tried on standard error:
//   make_sample_patterns <device folder> [<output folder>]
#include "tools/samples/SamplePatterns.h"

#include "Shared_Software/Mirror/MirrorInfoClass.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s <device folder> [<output folder>]\n", argv[0]);
        return 2;
    }
    const auto written = ostrander::WriteSamplePatterns(
        argv[1], argc == 3 ? argv[2] : argv[1],
        [](const std::string& infoFile, const ostrander::MirrorInfoClass& info) {
            return ostrander::FitSampleSet(infoFile, info, stderr);
        });
    if (written.empty()) {
        std::fprintf(stderr, "no pattern sets written\n");
        return 1;
    }
    for (const auto& name : written)
        std::printf("%s\n", name.c_str());
    return 0;
}
