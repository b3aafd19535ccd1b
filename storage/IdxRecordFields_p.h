#pragma once

// Field helpers shared by the two depository header records (internal, not installed).

#include "storage/BinarySerializer.h"

#include <cstdint>
#include <vector>

// A count byte followed by one byte per level. Writing fails for more than 255 levels; reading
// fills a fresh vector (at most 255 entries, so a hostile count cannot make it allocate much).
inline bool VtSerializeLevels(CBinarySerializer* s, std::vector<int>& levels) {
    if (s->IsSerializing()) {
        if (levels.size() > 255) return false;
        if (!s->WriteUInt8(static_cast<uint8_t>(levels.size()), 8)) return false;
        for (int level : levels) {
            if (!s->WriteUInt8(static_cast<uint8_t>(level), 8)) return false;
        }
        return true;
    }
    uint8_t count = 0;
    if (!s->ReadUInt8(count, 8)) return false;
    std::vector<int> fresh;
    fresh.reserve(count);
    for (int i = 0; i < count; ++i) {
        uint8_t level = 0;
        if (!s->ReadUInt8(level, 8)) return false;
        fresh.push_back(level);
    }
    levels.swap(fresh);
    return true;
}

// The spare-length byte. The length actually used is always area - levels, whatever the byte
// says, so the fields after the spare area stay at fixed offsets.
inline bool VtSerializeSpareLength(CBinarySerializer* s, int& spareLength, int area, std::size_t levels) {
    int stored = area - static_cast<int>(levels);
    if (!s->SerializeInt32(stored, 8)) return false;
    spareLength = area - static_cast<int>(levels);
    return true;
}
