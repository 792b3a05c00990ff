#pragma once
// Warning output of the checked lists: one block per failed check on the
// standard error stream, naming the module and the use site, and an optional
// hook that sees every warning (the test programs make it a failure).
#include <functional>
#include <string_view>

namespace ostrander {

// Module name printed at the head of every warning. Nothing in the program
// sets it, so warnings read "<NULL>"; an empty text prints as "<empty>".
extern const char* tl_module_name;

namespace tl {

// The module name as printed.
const char* ModuleText();

// Prints "WARNING (<module> -- <file>:<line>):\n   <head>\n   <tail>\n" in one
// write and flushes, then calls the warning hook. `file` is made relative to the source tree.
void Warn(const char* file, int line, std::string_view head, std::string_view tail);

// Called after each warning is printed, with the text Warn printed (the dumps
// of the list and elements that may follow are not part of it). It may be
// called from any thread that uses a list.
using WarningHook = std::function<void(std::string_view warning)>;
// Installs `hook` (empty: none) and returns the one it replaces.
WarningHook SetWarningHook(WarningHook hook);

} // namespace tl
} // namespace ostrander
