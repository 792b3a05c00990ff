#include "fuzz/FuzzSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace ostrander::fuzz {

namespace {
std::string g_folder;

void RemoveScratch() {
    std::error_code ec;
    if (!g_folder.empty())
        std::filesystem::remove_all(g_folder, ec);
}
} // namespace

const std::string& ScratchFolder() {
    if (g_folder.empty()) {
        std::error_code ec;
        auto base = std::filesystem::temp_directory_path(ec);
        if (ec)
            base = "/tmp";
        g_folder = (base / ("ostrander-fuzz-" + std::to_string(getpid()))).string();
        std::filesystem::create_directories(g_folder, ec);
        Check(!ec, "scratch folder could not be made");
        std::atexit(RemoveScratch);
    }
    return g_folder;
}

void WriteFile(const std::string& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    Check(f != nullptr, "scratch file could not be opened");
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    Check(std::fclose(f) == 0 && ok, "scratch file could not be written");
}

void RemoveFile(const std::string& path) {
    std::remove(path.c_str());
}

void Check(bool condition, const char* what) {
    if (condition)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

bool SameAtFifteenDigits(double a, double b) {
    if (!std::isfinite(a) || !std::isfinite(b))
        return false;
    return std::fabs(a - b) <= 1e-14 * std::fmax(std::fabs(a), std::fabs(b)) + 1e-300;
}

} // namespace ostrander::fuzz
