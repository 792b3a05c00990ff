#include "support/ListWarnings.h"

#include <gtest/gtest.h>

#include <utility>

namespace ostrander::test {

void FailOnListWarnings() {
    tl::SetWarningHook([](std::string_view warning) {
        ADD_FAILURE() << "checked-list warning:\n" << warning;
    });
}

CapturedListWarnings::CapturedListWarnings()
    : previous_(tl::SetWarningHook([this](std::string_view warning) {
          std::lock_guard lock(mutex_);
          warnings_.emplace_back(warning);
      })) {}

CapturedListWarnings::~CapturedListWarnings() {
    tl::SetWarningHook(std::move(previous_));
}

std::vector<std::string> CapturedListWarnings::Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(warnings_, {});
}

} // namespace ostrander::test
