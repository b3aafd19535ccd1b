#pragma once

// The seam through which the custom map manager refines the catalogue's answers for the custom map
// types (601, 602, 606, 607). Unless another provider is registered (tests do), the process-wide
// CCustomMapManager answers. Internal to the library.

// What the catalogue needs to know about the custom map stored under one key.
struct CUSTOM_MAP_TRAITS {
    bool bFound = false;   // a custom map is stored under the key
    bool bDem = false;     // its tiles are elevation data
    bool bOffset = false;  // its tiles are drawn in GCJ-02
    bool bBD09 = false;    // its tiles are drawn in BD-09
};

using CustomMapTraitsProvider = CUSTOM_MAP_TRAITS (*)(int key);

// Registers the provider (nullptr returns to the custom map manager). Safe from any thread.
void SetCustomMapTraitsProvider(CustomMapTraitsProvider provider);

// The traits of the custom map under `key`; all false when there is none. The key -1 names no
// custom map and never reaches a provider.
CUSTOM_MAP_TRAITS LookupCustomMapTraits(int key);

// The default provider: the map under `key` in CCustomMapManager::Instance() (created and loaded
// on first use). Defined with the manager.
CUSTOM_MAP_TRAITS CustomMapManagerTraits(int key);
