#pragma once
// A one-line progress bar on standard error, drawn only when standard error
// is a terminal; otherwise it stays quiet.
#include <string>

namespace ostrander {

class Progress {
public:
    Progress(std::string label, int total);
    // Clears the bar's line if it was drawn and not finished.
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Shows `done` of the total (clamped to 0 .. total).
    void Update(int done);
    // Shows the full bar and ends its line.
    void Finish();

    // True when standard error is a terminal.
    static bool Enabled();

private:
    std::string label_;
    int total_;
    int shown_ = -1;
    bool enabled_;
    bool open_ = false;
};

} // namespace ostrander
