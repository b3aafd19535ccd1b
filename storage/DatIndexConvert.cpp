#include "storage/DatIndexConvert.h"

#include "core/Tools.h"
#include "tile/ITileModel.h"
#include "tile/TileModel.h"
#include "tile/TileRange.h"

namespace {

// Deepest zero-based level whose tile numbers still fit the 32-bit key fields.
constexpr int kDeepestModelLevel = 30;

}  // namespace

CDatIndexConvert::CDatIndexConvert() : m_extent{0.0, 0.0, 0.0, 0.0}, m_eTileModel(TILE_MODEL_GEOGRAPHIC) {
    Rebuild();
}

CDatIndexConvert::CDatIndexConvert(int mapType, const EXTENT& e) : m_extent(e), m_eTileModel(TILE_MODEL_GEOGRAPHIC) {
    SetTileModelViaMap(mapType);
}

CDatIndexConvert::CDatIndexConvert(E_TILE_MODEL model, const EXTENT& e) : m_extent(e), m_eTileModel(model) {
    Rebuild();
}

void CDatIndexConvert::SetExtent(const EXTENT& e) {
    m_extent = e;
    Rebuild();
}

void CDatIndexConvert::SetTileModel(E_TILE_MODEL model) {
    m_eTileModel = model;
    Rebuild();
}

void CDatIndexConvert::SetTileModelViaMap(int mapType) {
    if (Tools::isWGS(mapType)) {
        m_eTileModel = TILE_MODEL_GEOGRAPHIC;
    } else if (Tools::isBaidu(mapType)) {
        m_eTileModel = TILE_MODEL_BAIDU;
    } else {
        m_eTileModel = TILE_MODEL_MERCATOR;
    }
    Rebuild();
}

CTileModel* CDatIndexConvert::Model() const { return ITileModel::GetTileModel(m_eTileModel, true); }

void CDatIndexConvert::Rebuild() {
    m_bHaveRanges = false;
    long long before = 0;
    for (int level = 1; level <= kMaxLevel; ++level) {
        LevelRange r;
        m_ranges[static_cast<size_t>(level)] = r;
        if (!Range(level, r)) return;
        r.slotsBefore = before;
        m_ranges[static_cast<size_t>(level)] = r;
        before += static_cast<long long>(r.rowCount) * r.colCount;
    }
    m_bHaveRanges = true;
}

bool CDatIndexConvert::Range(int level, LevelRange& out) const {
    if (level < 1 || level - 1 > kDeepestModelLevel) return false;
    if (m_bHaveRanges && level <= kMaxLevel) {
        out = m_ranges[static_cast<size_t>(level)];
        return true;
    }
    const CTileModel* model = Model();
    if (model == nullptr) return false;
    LevelRange r;
    if (!model->GetRowColInfo(r.startRow, r.startCol, r.rowCount, r.colCount, m_extent, level - 1)) return false;
    // An inverted extent yields negative counts; it has no slots rather than negative ones.
    if (r.rowCount < 0) r.rowCount = 0;
    if (r.colCount < 0) r.colCount = 0;
    out = r;
    return true;
}

bool CDatIndexConvert::GetTileBound(CTileKey& minKey, CTileKey& maxKey, int level) const {
    const CTileModel* model = Model();
    if (model == nullptr || level - 1 > kDeepestModelLevel) return false;
    return model->GetTileBound(minKey, maxKey, m_extent, level - 1);
}

long long CDatIndexConvert::GetTileNumber(int level) const {
    LevelRange r;
    if (!Range(level, r)) return 0;
    return static_cast<long long>(r.rowCount) * r.colCount;
}

long long CDatIndexConvert::GetTileNumberUtilLevel(int level) const {
    if (level < 1) return 0;
    if (m_bHaveRanges && level <= kMaxLevel) {
        const LevelRange& r = m_ranges[static_cast<size_t>(level)];
        return r.slotsBefore + static_cast<long long>(r.rowCount) * r.colCount;
    }
    long long total = 0;
    for (int l = 1; l <= level; ++l) total += GetTileNumber(l);
    return total;
}

long long CDatIndexConvert::ConvertToDatIndex(const CTileKey& key) const {
    CTileKey k = key;
    k.ChangeTileModel(TILE_MODEL_MAPID);
    const int level = k.GetLevel();
    LevelRange r;
    if (!Range(level, r)) return -1;

    CTileKey corner(level - 1, r.startCol, r.startRow, m_eTileModel);
    corner.ChangeTileModel(TILE_MODEL_MAPID);

    // The level's bound as the model's GetTileBound builds it, from the cached range.
    const CTileKey minKey(level - 1, r.startCol, r.startRow, m_eTileModel);
    const CTileKey maxKey(level - 1, r.startCol + r.colCount - 1, r.startRow + r.rowCount - 1, m_eTileModel);
    CTileKey inModel = key;
    inModel.ChangeTileModel(m_eTileModel);
    if (!InTileRange(inModel, minKey, maxKey)) return -1;

    const long long dy = static_cast<long long>(k.GetTileY()) - corner.GetTileY();
    const long long dx = static_cast<long long>(k.GetTileX()) - corner.GetTileX();
    if (dy < 0 || dx < 0) return -1;

    long long index = dy * r.colCount + dx;
    if (m_bHaveRanges && level <= kMaxLevel) {
        index += r.slotsBefore;
    } else {
        index += GetTileNumberUtilLevel(level - 1);
    }
    return index + 1;
}

long long CDatIndexConvert::ConvertToDatIndex(int level, long long mapID) const {
    CTileKey key;
    key.FromMapID(mapID, level);
    return ConvertToDatIndex(key);
}

CTileKey CDatIndexConvert::ConvertToTileKey(long long slot) const {
    if (slot < 1) return CTileKey(0, 0, 0, TILE_MODEL_MAPID);
    const CTileModel* model = Model();
    for (int level = 1; level <= kMaxLevel; ++level) {
        LevelRange r;
        if (!Range(level, r)) break;
        const long long n = static_cast<long long>(r.rowCount) * r.colCount;
        if (slot - n < 1) {
            const long long q = (slot - 1) / r.colCount;
            const long long rem = (slot - 1) % r.colCount;
            const long long nx = model != nullptr ? model->GetNumberTileX(level - 1) : 0;
            const long long mapID = (r.startCol + rem) + 1 + (r.startRow + q) * nx;
            if (mapID < 0) return CTileKey(0, 0, 0, TILE_MODEL_MAPID);
            CTileKey key;
            key.FromMapID(mapID, level);
            return key;
        }
        slot -= n;
    }
    CTileKey key;
    key.FromMapID(0, 1);
    return key;
}

bool CDatIndexConvert::Contain(const CTileKey& key) const {
    CTileKey k = key;
    k.ChangeTileModel(TILE_MODEL_MAPID);
    CTileKey minKey, maxKey;
    if (!GetTileBound(minKey, maxKey, k.GetLevel())) return false;
    return InTileRange(k, minKey, maxKey);
}

EXTENT CDatIndexConvert::GetTileExtent(const CTileKey& key) const {
    const CTileModel* model = Model();
    if (model == nullptr) return EXTENT{0.0, 0.0, 0.0, 0.0};
    return model->GetGeoExtent(key);
}
