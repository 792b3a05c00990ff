// cfitsio's table, filled from the library opened with dlopen.
#include "formats/Cfitsio.h"

#include <dlfcn.h>

#include <cstring>

#ifndef OSTRANDER_CFITSIO_LIBRARY
#define OSTRANDER_CFITSIO_LIBRARY "libcfitsio.so"
#endif

namespace ostrander::cfitsio {

namespace {

// Every function, or none: a library without one of them is not used.
Functions Load() {
    Functions f;
    void* library = dlopen(OSTRANDER_CFITSIO_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return f;
    bool whole = true;
#define OSTRANDER_CFITSIO_LOAD(name)                                                              \
    f.name = reinterpret_cast<decltype(f.name)>(dlsym(library, #name));                           \
    whole = whole && f.name;
    OSTRANDER_CFITSIO_FUNCTIONS(OSTRANDER_CFITSIO_LOAD)
    OSTRANDER_CFITSIO_LOAD(ffgerr)
#undef OSTRANDER_CFITSIO_LOAD
    return whole ? f : Functions{};
}

} // namespace

const Functions* Loaded() {
    // The library stays loaded until the process ends.
    static const Functions functions = Load();
    return functions.ffgerr ? &functions : nullptr;
}

void ffgerr(int status, char* text) {
    const Functions* f = status == kCfitsioMissing ? nullptr : Loaded();
    if (f) {
        f->ffgerr(status, text);
        return;
    }
    // At most FLEN_STATUS bytes with the terminating zero.
    std::strncpy(text, "cfitsio library missing", FLEN_STATUS - 1);
    text[FLEN_STATUS - 1] = '\0';
}

} // namespace ostrander::cfitsio
