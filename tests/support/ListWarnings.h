#pragma once
// Checked-list warnings in the tests: the test mains make every warning a
// failure of the test that caused it; a test that provokes warnings on
// purpose collects them with CapturedListWarnings and checks them itself.
#include "Shared_Software/Lists/tl_err.h"

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ostrander::test {

// Installs the hook that adds a test failure, with the warning's text, for
// every checked-list warning. Called by the test mains.
void FailOnListWarnings();

// While it lives, warnings are collected instead of failing the test; the
// hook it replaced is restored when it goes.
class CapturedListWarnings {
public:
    CapturedListWarnings();
    ~CapturedListWarnings();
    CapturedListWarnings(const CapturedListWarnings&) = delete;
    CapturedListWarnings& operator=(const CapturedListWarnings&) = delete;

    // The warnings so far, each as printed, and empties the collection.
    std::vector<std::string> Take();

private:
    std::mutex mutex_;
    std::vector<std::string> warnings_;
    tl::WarningHook previous_;
};

} // namespace ostrander::test
