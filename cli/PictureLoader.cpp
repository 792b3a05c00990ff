// The picture module found beside the program and loaded with dlopen.
#include "cli/PictureLoader.h"

#include "toolkit/Paths.h"
#include "toolkit/PictureBackend.h"

#include <dlfcn.h>

#ifndef OSTRANDER_BIN_TO_PICTURES
#define OSTRANDER_BIN_TO_PICTURES "../lib/ostrander"
#endif

namespace ostrander {

namespace {
const PictureModule* g_module = nullptr;
} // namespace

std::string PictureModulePath() {
    return ProgramFolder() + "/" OSTRANDER_BIN_TO_PICTURES "/ostrander-cli-pictures.so";
}

bool LoadPictureModule(int argc, char** argv, std::string& error) {
    if (g_module)
        return true;
    const std::string path = PictureModulePath();
    const std::string missing =
        "the picture module " + path + " cannot be loaded, so no picture can be drawn " +
        "(--no-pictures writes the grids and figures without it): ";
    // The module stays loaded until the process ends: its canvases and its
    // GUI application live until then.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        error = missing + (reason ? reason : "unknown reason");
        return false;
    }
    using Entry = const PictureModule* (*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(handle, kPictureModuleEntry));
    const PictureModule* module = entry ? entry() : nullptr;
    if (!module || module->version != kPictureModuleVersion || !module->backend) {
        error = missing + "it is not of this build of ostrander-cli";
        return false;
    }
    if (!module->start(argc, argv, error)) {
        error = missing + error;
        return false;
    }
    g_module = module;
    UsePictureBackend(module->backend);
    return true;
}

void UnloadPictureModule() {
    if (!g_module)
        return;
    UsePictureBackend(nullptr);
    g_module->stop();
    g_module = nullptr;
}

} // namespace ostrander
