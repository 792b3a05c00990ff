#include "Shared_Software/Lists/tl_err.h"

#include "Shared_Software/Lists/tl_util.h"

#include <cstdio>
#include <string>

namespace ostrander {

const char* tl_module_name = nullptr;

namespace tl {

const char* ModuleText() {
    if (tl_module_name == nullptr)
        return "<NULL>";
    if (*tl_module_name == '\0')
        return "<empty>";
    return tl_module_name;
}

void Warn(const char* file, int line, std::string_view head, std::string_view tail) {
    std::string message;
    message.reserve(head.size() + tail.size() + 4);
    message.append(head);
    message.append("\n   ");
    message.append(tail);
    std::fprintf(stderr, "WARNING (%s -- %s:%d):\n   %s\n", ModuleText(), RelativeSourcePath(file),
                 line, message.c_str());
    std::fflush(stderr);
}

} // namespace tl
} // namespace ostrander
