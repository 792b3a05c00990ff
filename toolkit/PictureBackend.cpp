// The installed picture backend.
#include "toolkit/PictureBackend.h"

#include <atomic>

namespace ostrander {

namespace {
std::atomic<const PictureBackend*> g_backend{nullptr};
} // namespace

const PictureBackend* PictureBackendInUse() { return g_backend.load(); }

void UsePictureBackend(const PictureBackend* backend) { g_backend.store(backend); }

std::unique_ptr<Canvas> NewPictureCanvas(int width, int height, std::string& error) {
    const PictureBackend* backend = PictureBackendInUse();
    if (!backend) {
        error = "pictures cannot be drawn: this program has no picture drawing loaded";
        return nullptr;
    }
    return backend->newCanvas(width, height);
}

} // namespace ostrander
