#include "Shared_Software/Lists/tl_util.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace ostrander::tl {

const char* RelativeSourcePath(const char* file) {
    if (file == nullptr)
        return "";
#ifdef TL_SOURCE_ROOT
    // The build passes the repository root with a trailing separator.
    static const char root[] = TL_SOURCE_ROOT;
    const std::size_t n = std::strlen(root);
    if (n > 0 && std::strncmp(file, root, n) == 0)
        return file + n;
#endif
    // A compiler cache may hand the compiler paths relative to the object
    // folder ("../../../tests/x.cpp"); for build folders inside the source
    // tree the part after the leading "../" steps is the path we want.
    while (file[0] == '.' && (file[1] == '/' || (file[1] == '.' && file[2] == '/')))
        file += file[1] == '/' ? 2 : 3;
    return file;
}

unsigned long Address(const void* p) {
    return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(p));
}

void PrintListLine(std::string_view name, const void* list, const void* first, const void* last) {
    const std::string text(name);
    std::fprintf(stderr, "list (\"%s\") = 0x%08lx:  (0x%08lx, 0x%08lx)\n", text.c_str(),
                 Address(list), Address(first), Address(last));
    std::fflush(stderr);
}

void PrintElementLine(std::string_view name, const void* element, const void* prev,
                      const void* next) {
    const std::string text(name);
    std::fprintf(stderr, "   \"%s\" -- 0x%08lx: (0x%08lx  0x%08lx)\n", text.c_str(),
                 Address(element), Address(prev), Address(next));
    std::fflush(stderr);
}

} // namespace ostrander::tl
