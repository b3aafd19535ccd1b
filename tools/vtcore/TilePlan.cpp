#include "tools/vtcore/TilePlan.h"

#include "tile/RegionTileEnumerator.h"

namespace VtCli {

bool ForEachRegionTile(int mapType, const Region& region, int level, const std::function<bool(const CTileKey&)>& visit,
                       const std::atomic<bool>* stop) {
    CRegionTileEnumerator tiles(region.extent, region.polygons, level, mapType);
    tiles.SetStopFlag(stop);
    tiles.ForEach([&](const CTileKey& key, const QString&) { return visit(key); });
    return !tiles.WasStopped();
}

bool MakeTilePlan(int mapType, const Region& region, const QList<int>& levels, TilePlan& plan, QString& error,
                  const std::atomic<bool>* stop) {
    const auto stopped = [&] {
        if (stop == nullptr || !stop->load()) return false;
        error = QStringLiteral("interrupted");
        return true;
    };
    if (levels.isEmpty()) {
        error = QStringLiteral("no levels");
        return false;
    }
    if (stopped()) return false;  // raised while the region was read
    TilePlan p;
    p.mapType = mapType;
    p.extent = region.extent;
    const CDatIndexConvert conv(mapType, region.extent);
    p.tileModel = conv.GetTileModel();
    for (int level : levels) {
        if (level < 1 || level > kMaxDepositoryLevel) {
            error = QStringLiteral("level %1 is outside 1..%2").arg(level).arg(kMaxDepositoryLevel);
            return false;
        }
        CTileKey minKey;
        CTileKey maxKey;
        if (!conv.GetTileBound(minKey, maxKey, level)) {
            error = QStringLiteral("map type %1 has no tiling scheme").arg(mapType);
            return false;
        }
        LevelPlan lp;
        lp.level = level;
        lp.zoom = level - 1;
        lp.minCol = minKey.GetTileX();
        lp.minRow = minKey.GetTileY();
        lp.maxCol = maxKey.GetTileX();
        lp.maxRow = maxKey.GetTileY();
        lp.slotCount = conv.GetTileNumber(level);
        if (!region.IsShaped()) {
            lp.tiles = lp.slotCount;
        } else {
            CRegionTileEnumerator tiles(region.extent, region.polygons, level, mapType);
            tiles.SetStopFlag(stop);
            lp.tiles = tiles.Count();
            if (tiles.WasStopped() && stopped()) return false;
        }
        p.totalTiles += lp.tiles;
        p.levels.append(lp);
    }
    p.indexSlots = conv.GetTileNumberUtilLevel(levels.last());

    // Stored tiles are compressed images, far below the library's raw 256 x 256 x 24-bit estimate.
    p.sizeMB = double(p.totalTiles) * kTypicalTileBytes / (1024.0 * 1024.0);
    plan = p;
    return true;
}

}  // namespace VtCli
