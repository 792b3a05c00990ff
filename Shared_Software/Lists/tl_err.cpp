#include "Shared_Software/Lists/tl_err.h"

#include "Shared_Software/Lists/tl_util.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

namespace ostrander {

const char* tl_module_name = nullptr;

namespace tl {

namespace {
// Function-local statics, so that a hook installed during static
// initialisation of another file finds them constructed.
std::mutex& HookMutex() {
    static std::mutex mutex;
    return mutex;
}
WarningHook& InstalledHook() {
    static WarningHook hook;
    return hook;
}
} // namespace

WarningHook SetWarningHook(WarningHook hook) {
    std::lock_guard lock(HookMutex());
    std::swap(InstalledHook(), hook);
    return hook;
}

const char* ModuleText() {
    if (tl_module_name == nullptr)
        return "<NULL>";
    if (*tl_module_name == '\0')
        return "<empty>";
    return tl_module_name;
}

void Warn(const char* file, int line, std::string_view head, std::string_view tail) {
    std::string text = "WARNING (";
    text.append(ModuleText()).append(" -- ").append(RelativeSourcePath(file));
    text.append(":").append(std::to_string(line)).append("):\n   ");
    text.append(head).append("\n   ").append(tail).append("\n");
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);

    WarningHook hook;
    {
        std::lock_guard lock(HookMutex());
        hook = InstalledHook();
    }
    if (hook)
        hook(text);
}

} // namespace tl
} // namespace ostrander
