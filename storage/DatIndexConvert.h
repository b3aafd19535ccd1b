#pragma once

#include "core/VtCoreExport.h"
#include "tile/Extent.h"
#include "tile/TileKey.h"

#include <array>

class CTileModel;

// Maps between a tile and its slot in a depository index. An index lists, for one extent and one
// tiling scheme, every tile of every level from 1 to the deepest: levels ascending, rows ascending,
// columns ascending. Levels here are one-based (depository level L is tile-model level L - 1) and
// slots count from 1. The scheme is the shared factory model of the tile model (left-top-up).
//
// The row and column ranges of levels 1 to 23 are computed once per extent and tile model; the
// converter is then safe to use from several threads as long as nobody changes it meanwhile.
class VTCORE_EXPORT CDatIndexConvert {
public:
    static constexpr int kMaxLevel = 23;  // deepest level that ConvertToTileKey searches

    CDatIndexConvert();
    CDatIndexConvert(int mapType, const EXTENT& e);
    CDatIndexConvert(E_TILE_MODEL model, const EXTENT& e);

    void SetExtent(const EXTENT& e);
    const EXTENT& GetExtent() const { return m_extent; }
    void SetTileModel(E_TILE_MODEL model);
    E_TILE_MODEL GetTileModel() const { return m_eTileModel; }
    // Geographic for WGS84 map types, Baidu for Baidu types, Web Mercator otherwise.
    void SetTileModelViaMap(int mapType);

    // The level's first and last tile (zero-based keys of the scheme); false without a scheme.
    bool GetTileBound(CTileKey& minKey, CTileKey& maxKey, int level) const;
    // Slots of one level (0 for levels below 1, without a scheme, or for an inverted extent).
    long long GetTileNumber(int level) const;
    // Slots of levels 1 to `level`; 0 when level < 1.
    long long GetTileNumberUtilLevel(int level) const;
    // Slot of a tile (keys of any family), from 1; -1 outside the extent or without a scheme.
    long long ConvertToDatIndex(const CTileKey& key) const;
    // Slot of a map ID at a one-based level; -1 as above.
    long long ConvertToDatIndex(int level, long long mapID) const;
    // The one-based key of a slot. Slots below 1 or with a negative map ID give (0, 0, 0, MAPID);
    // slots beyond level 23 give the key of map ID 0 at level 1.
    CTileKey ConvertToTileKey(long long slot) const;
    // True when the tile lies in its level's range.
    bool Contain(const CTileKey& key) const;
    // Geographic extent of a tile in the scheme; all zero without a scheme.
    EXTENT GetTileExtent(const CTileKey& key) const;

private:
    struct LevelRange {
        int startRow = 0;
        int startCol = 0;
        int rowCount = 0;  // never negative
        int colCount = 0;  // never negative
        long long slotsBefore = 0;  // slots of the levels above this one
    };

    CTileModel* Model() const;
    // Range of a one-based level: cached for 1..kMaxLevel, computed otherwise.
    bool Range(int level, LevelRange& out) const;
    void Rebuild();

    EXTENT m_extent;
    E_TILE_MODEL m_eTileModel;
    bool m_bHaveRanges;
    std::array<LevelRange, kMaxLevel + 1> m_ranges;  // index = one-based level; [0] unused
};
