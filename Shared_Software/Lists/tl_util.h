#pragma once
// Small helpers of the checked lists: source paths and pointer dumps.
#include <string_view>

namespace ostrander::tl {

// The part of a compiler-given source path below the repository root
// ("/src/ostrander/tests/x.cpp" -> "tests/x.cpp", "../../tests/x.cpp" ->
// "tests/x.cpp"); other paths unchanged.
const char* RelativeSourcePath(const char* file);

// A pointer as the unsigned number the dumps print with %08lx.
unsigned long Address(const void* p);

// "list ("<name>") = 0x...:  (0x<first>, 0x<last>)", then a flush.
void PrintListLine(std::string_view name, const void* list, const void* first, const void* last);
// "   "<name>" -- 0x<element>: (0x<prev>  0x<next>)", then a flush.
void PrintElementLine(std::string_view name, const void* element, const void* prev,
                      const void* next);

} // namespace ostrander::tl
