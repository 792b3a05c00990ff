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

    // Clears the bar's line so that a message starts on a line of its own;
    // the next Update draws the bar again.
    void Clear();

    // True when standard error is a terminal.
    static bool Enabled();

private:
    std::string label_;
    int total_;
    int shown_ = -1;
    bool enabled_;
    bool open_ = false;
};

// Clears the line of the bar that is drawn now, if any: called before a
// warning or error is printed on standard error.
void ClearProgressLine();

} // namespace ostrander
