#include "catalog/CustomMapTraits_p.h"

#include <atomic>

namespace {
std::atomic<CustomMapTraitsProvider> g_customMapTraitsProvider{nullptr};
}

void SetCustomMapTraitsProvider(CustomMapTraitsProvider provider) { g_customMapTraitsProvider.store(provider); }

CUSTOM_MAP_TRAITS LookupCustomMapTraits(int key) {
    // -1 is what the tile-model choice passes on every call; answering it here keeps the custom map
    // store (and its file) from being loaded just to learn that nothing is selected.
    if (key == -1) return CUSTOM_MAP_TRAITS{};
    CustomMapTraitsProvider provider = g_customMapTraitsProvider.load();
    return provider != nullptr ? provider(key) : CustomMapManagerTraits(key);
}
