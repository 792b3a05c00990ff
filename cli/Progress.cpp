#include "cli/Progress.h"

#include "toolkit/TerminalText.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace ostrander {

namespace {
constexpr int kBarWidth = 30;
// The bar whose line is drawn and not ended; one at a time.
Progress* drawn = nullptr;
} // namespace

void ClearProgressLine() {
    if (drawn)
        drawn->Clear();
}

bool Progress::Enabled() {
    return isatty(STDERR_FILENO) == 1;
}

Progress::Progress(std::string label, int total)
    : label_(TerminalSafe(label)), total_(std::max(total, 0)), enabled_(Enabled()) {}

Progress::~Progress() {
    Clear();
}

void Progress::Clear() {
    if (!open_)
        return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    open_ = false;
    shown_ = -1;
    if (drawn == this)
        drawn = nullptr;
}

void Progress::Update(int done) {
    if (!enabled_)
        return;
    done = std::clamp(done, 0, total_);
    if (done == shown_)
        return;
    shown_ = done;
    const int filled = total_ > 0 ? done * kBarWidth / total_ : kBarWidth;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    std::fprintf(stderr, "\r%s [%s] %d/%d", label_.c_str(), bar.c_str(), done, total_);
    std::fflush(stderr);
    open_ = true;
    drawn = this;
}

void Progress::Finish() {
    if (!enabled_)
        return;
    Update(total_);
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    open_ = false;
    if (drawn == this)
        drawn = nullptr;
}

} // namespace ostrander
