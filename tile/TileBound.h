#pragma once

#include "core/VtCoreExport.h"
#include "tile/TileKey.h"

// An inclusive rectangle of tiles on one level: m_minTile has the smallest column and row (the
// north-west corner with rows counted from the north), m_maxTile the largest. The bound's level and
// scheme are those of m_minTile; nothing forces the two keys to agree, and Normalize and AddTile
// work relative to m_minTile. Comparisons translate families as tile keys do.
class VTCORE_EXPORT CTileBound {
public:
    CTileBound() = default;  // two default keys (0, 0, 0, TILE_MODEL_MAPID)
    CTileBound(const CTileKey& minTile, const CTileKey& maxTile) : m_minTile(minTile), m_maxTile(maxTile) {}

    bool operator==(const CTileBound& other) const;
    bool operator!=(const CTileBound& other) const { return !(*this == other); }
    // Lexicographic on (min, max).
    bool operator<(const CTileBound& other) const;
    bool operator<=(const CTileBound& other) const;
    bool operator>(const CTileBound& other) const { return !(*this <= other); }
    bool operator>=(const CTileBound& other) const { return !(*this < other); }

    // Both keys valid and min not after max in key order (level, column, row).
    bool IsValid() const;
    // max takes min's scheme; a min deeper than max is replaced by its ancestor at max's level.
    void Normalize();
    void ChangeTileModel(E_TILE_MODEL m);
    // InTileRange(k, min, max).
    bool InRange(const CTileKey& k) const;
    // k (in min's scheme) at min's level or deeper, its ancestor at min's level inside the range.
    bool InPyramidRange(const CTileKey& k) const;
    // The middle key (level, column and row halved sums, via the geographic scheme) in min's scheme.
    CTileKey GetCenter() const;
    // Grows the rectangle to hold k (in min's scheme; a deeper key counts as its ancestor at min's
    // level; a shallower one changes nothing).
    void AddTile(const CTileKey& k);
    void Expand(const CTileBound& b);

    void SetMinTile(const CTileKey& k) { m_minTile = k; }
    CTileKey& GetMinTile() { return m_minTile; }
    const CTileKey& GetMinTile() const { return m_minTile; }
    void SetMaxTile(const CTileKey& k) { m_maxTile = k; }
    CTileKey& GetMaxTile() { return m_maxTile; }
    const CTileKey& GetMaxTile() const { return m_maxTile; }
    void Clear();
    int GetLevel() const { return m_minTile.GetLevel(); }
    E_TILE_MODEL GetTileModel() const { return m_minTile.GetTileModel(); }

private:
    CTileKey m_minTile;
    CTileKey m_maxTile;
};
