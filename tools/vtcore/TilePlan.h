#pragma once

#include "storage/DatIndexConvert.h"
#include "tile/Extent.h"
#include "tile/TileKey.h"
#include "tools/vtcore/Region.h"

#include <QList>
#include <QString>

#include <atomic>
#include <functional>

namespace VtCli {

// Deepest one-based level a depository can hold.
constexpr int kMaxDepositoryLevel = CDatIndexConvert::kMaxLevel;
// Largest index a download creates (20 bytes a slot: 4 GB); bigger regions are refused.
constexpr long long kMaxDepositorySlots = 200000000LL;

// The tiles of one one-based level of a region.
struct LevelPlan {
    int level = 0;         // one-based depository level
    int zoom = 0;          // zero-based level of the tiling scheme (level - 1)
    int minCol = 0, minRow = 0, maxCol = -1, maxRow = -1;  // zero-based, rows from the north
    long long slotCount = 0;  // tiles of the level's rectangle (its depository slots)
    long long tiles = 0;   // of them inside the region's polygons (all of them for a plain extent)
};

struct TilePlan {
    int mapType = 0;
    E_TILE_MODEL tileModel = TILE_MODEL_MERCATOR;
    EXTENT extent{0, 0, 0, 0};  // in the map type's datum
    QList<LevelPlan> levels;
    long long totalTiles = 0;   // the tiles to download
    long long indexSlots = 0;   // slots of every level from 1 to the deepest (the index size / 20)
    double sizeMB = 0.0;        // estimated size of the tiles, at kTypicalTileBytes a tile
};

// Size of a typical downloaded tile (a 256 x 256 PNG or JPEG of a map), for estimates made before
// any tile of the source has been seen.
constexpr double kTypicalTileBytes = 20.0 * 1024;

// The plan of a region (already in the map type's datum) at the given one-based levels.
// False with a reason when the map type has no tiling scheme or a level is out of range, and with
// "interrupted" as soon as `stop` (when given) is raised.
bool MakeTilePlan(int mapType, const Region& region, const QList<int>& levels, TilePlan& plan, QString& error,
                  const std::atomic<bool>* stop = nullptr);

// Calls visit(key) for every tile of a one-based level that meets the region's polygons (every
// tile of the extent for a plain region), rows from the north, then columns; zero-based keys of the
// map type's scheme. Stops when visit returns false or `stop` is raised; false in the latter case.
bool ForEachRegionTile(int mapType, const Region& region, int level, const std::function<bool(const CTileKey&)>& visit,
                       const std::atomic<bool>* stop = nullptr);

}  // namespace VtCli
