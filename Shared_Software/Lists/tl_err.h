#pragma once
// Warning output of the checked lists: one block per failed check on the
// standard error stream, naming the module and the use site.
#include <string_view>

namespace ostrander {

// Module name printed at the head of every warning. Nothing in the program
// sets it, so warnings read "<NULL>"; an empty text prints as "<empty>".
extern const char* tl_module_name;

namespace tl {

// The module name as printed.
const char* ModuleText();

// Prints "WARNING (<module> -- <file>:<line>):\n   <head>\n   <tail>\n" in one
// fprintf and flushes. `file` is made relative to the source tree.
void Warn(const char* file, int line, std::string_view head, std::string_view tail);

} // namespace tl
} // namespace ostrander
