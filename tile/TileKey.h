#pragma once

#include "core/VtCoreExport.h"

#include <string>

// Tiling scheme and numbering family of a tile key. The numbers are stored in depository headers.
// MAPID keys are one-based (level L of that family is level L - 1 of the others); the rest are
// zero-based. 3 is not assigned: every validity test rejects it.
enum E_TILE_MODEL : int {
    TILE_MODEL_MAPID = 0,
    TILE_MODEL_MERCATOR = 1,
    TILE_MODEL_GEOGRAPHIC = 2,
    TILE_MODEL_BAIDU = 4
};

// One tile of a pyramid: level, column (growing eastwards), row and scheme. Keys made by the
// factory models count rows from the north. Comparisons translate the right-hand key into the
// left-hand key's family first, so one-based (L + 1, x + 1, y + 1) equals zero-based (L, x, y);
// the scheme itself is not compared, and order is level, then column, then row.
class VTCORE_EXPORT CTileKey {
public:
    // (level, x, y, model); the default key is (0, 0, 0, TILE_MODEL_MAPID). A level alone must be
    // named explicitly, so that no number (nor a scheme through its number) converts to a key.
    CTileKey() : CTileKey(0, 0, 0) {}
    explicit CTileKey(int level) : CTileKey(level, 0, 0) {}
    CTileKey(int level, int x, int y = 0, E_TILE_MODEL model = TILE_MODEL_MAPID)
        : m_nLevel(level), m_nTileX(x), m_nTileY(y), m_eTileModel(model)
    {
    }
    // Level, column and row -1: invalid in every family. Implicit, so `CTileKey k = model;` means
    // this key.
    CTileKey(E_TILE_MODEL model) : m_nLevel(-1), m_nTileX(-1), m_nTileY(-1), m_eTileModel(model) {}

    void SetLevel(int level) { m_nLevel = level; }
    int GetLevel() const { return m_nLevel; }
    void SetTileX(int x) { m_nTileX = x; }
    int GetTileX() const { return m_nTileX; }
    void SetTileY(int y) { m_nTileY = y; }
    int GetTileY() const { return m_nTileY; }
    // Stores the scheme without touching the numbers.
    void SetTileModel(E_TILE_MODEL model) { m_eTileModel = model; }
    E_TILE_MODEL GetTileModel() const { return m_eTileModel; }

    // Converts the numbers between the one-based and the zero-based family when the change crosses
    // them, then stores m whatever its value. Always true.
    bool ChangeTileModel(E_TILE_MODEL m);

    // One-based: level, column and row >= 1; zero-based: all >= 0; any other scheme: never.
    bool IsValid() const;

    // "level_column_row" as stored, without family conversion ("5_12_7").
    std::string GetTileKeyString() const;

    bool operator==(const CTileKey& other) const;
    bool operator!=(const CTileKey& other) const { return !(*this == other); }
    bool operator<(const CTileKey& other) const;
    bool operator<=(const CTileKey& other) const { return *this < other || *this == other; }
    bool operator>(const CTileKey& other) const { return !(*this < other) && !(*this == other); }
    bool operator>=(const CTileKey& other) const { return !(*this < other); }

    // Same tile after family translation; the same answer as operator==.
    bool IsSameTile(const CTileKey& other) const;

    // Pyramid navigation; the result keeps this key's scheme. The parent of a key whose level is
    // <= 0 is the invalid key (-1, 0, 0, TILE_MODEL_MAPID).
    CTileKey CreateParentTileKey() const;
    // Repeated parents down to targetLevel, stopping early below level 1; a copy when
    // targetLevel >= level.
    CTileKey CreateAncientTileKey(int targetLevel) const;
    CTileKey CreateChildTileKeyLTCornor() const;  // upper-left child
    CTileKey CreateChildTileKeyRBCornor() const;  // lower-right child
    // Neighbours, without bounds checks.
    CTileKey GetLeftSibling() const;
    CTileKey GetRightSibling() const;
    CTileKey GetUpSibling() const;
    CTileKey GetDownSibling() const;

    // Position within the parent, on zero-based numbers: 0 upper-left, 1 upper-right,
    // 2 lower-left, 3 lower-right.
    long long GetParentQuardIndex() const;
    // qx = column % 2, qy = row % 2 (zero-based). Always true.
    bool GetParentQuardCoordinate(int& qx, int& qy) const;
    // Position of this tile inside the 2^d x 2^d block (d = level - ancientLevel) of its level that
    // descends from its ancestor at ancientLevel. False, leaving the outputs alone, when
    // ancientLevel >= level or the parent is invalid.
    bool GetAnicientQuardCoordinate(int& qx, int& qy, int& spanX, int& spanY, int ancientLevel) const;
    // "0" followed by one quadrant digit per level below the root: zero-based (2, 3, 1) -> "013".
    std::string GetQuardIndexString() const;

    // Map ID of the tile within its level, from 1, row by row; -1 for an invalid key (or one whose
    // ID does not fit in 64 bits). One-based: 2^(level-1) * (y - 1) + x; zero-based:
    // (x + 1) + NX * y with NX = 2^level columns.
    long long ToMapID() const;
    // Stores level and the column and row of map ID id; the scheme is not changed. For a scheme
    // outside the table only the level is stored.
    void FromMapID(long long id, int level);

    // Clamps column and row into the tile counts of the key's level and scheme (rows counted from
    // the north). A key of scheme 3 or an unknown scheme is left alone.
    void ClampToLevel();
    // The same tile with its row counted from the other pole.
    CTileKey GetInverseYTile() const;

private:
    int m_nLevel;
    int m_nTileX;
    int m_nTileY;
    E_TILE_MODEL m_eTileModel;
};
