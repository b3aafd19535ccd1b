#include "core/platform/Platform.h"

#include <atomic>

namespace {

std::atomic<IVtPlatform*>& installedPlatform() {
    static std::atomic<IVtPlatform*> p{nullptr};
    return p;
}

}  // namespace

IVtPlatform& GetVtPlatform() {
    static CVtNativePlatform native;
    IVtPlatform* p = installedPlatform().load();
    return p != nullptr ? *p : native;
}

IVtPlatform* SetVtPlatform(IVtPlatform* platform) { return installedPlatform().exchange(platform); }
