#include "toolkit/TColor.h"

#include <mutex>

namespace ostrander {

namespace {
std::mutex g_resolverMutex;
std::function<TColor(TColor)> g_resolver;
} // namespace

void SetSystemColorResolver(std::function<TColor(TColor)> resolver) {
    std::lock_guard lock(g_resolverMutex);
    g_resolver = std::move(resolver);
}

TColor ColorToRGB(TColor c) {
    if (!IsSystemColor(c))
        return c & 0xFFFFFF;
    {
        std::lock_guard lock(g_resolverMutex);
        if (g_resolver)
            return g_resolver(c) & 0xFFFFFF;
    }
    switch (static_cast<std::uint32_t>(c)) {
    case static_cast<std::uint32_t>(clBtnFace):
        return 0xF0F0F0;
    case static_cast<std::uint32_t>(clWindow):
        return 0xFFFFFF;
    default:
        return 0x000000;
    }
}

} // namespace ostrander
