#include "tools/vtcore/TilePlan.h"

#include "core/Tools.h"

namespace VtCli {

bool TileInRegion(const CTileKey& key, const Region& region) {
    (void)key;
    return !region.IsShaped();
}

bool MakeTilePlan(int mapType, const Region& region, const QList<int>& levels, TilePlan& plan, QString& error) {
    if (levels.isEmpty()) {
        error = QStringLiteral("no levels");
        return false;
    }
    if (region.IsShaped()) {
        error = QStringLiteral("polygon regions are not supported yet; use --extent");
        return false;
    }
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
            for (int y = lp.minRow; y <= lp.maxRow; ++y)
                for (int x = lp.minCol; x <= lp.maxCol; ++x)
                    if (TileInRegion(CTileKey(lp.zoom, x, y, p.tileModel), region)) ++lp.tiles;
        }
        p.totalTiles += lp.tiles;
        p.levels.append(lp);
    }
    p.indexSlots = conv.GetTileNumberUtilLevel(levels.last());

    // The same measure as the task list's size column: 256 x 256 x 24-bit tiles, 64 x 64 x 32-bit
    // for elevation.
    p.sizeMB = Tools::isDem(mapType, -1) ? double(p.totalTiles) * 64 * 64 * 4 / (1024.0 * 1024.0)
                                         : Tools::getTifImgSize(p.totalTiles);
    plan = p;
    return true;
}

}  // namespace VtCli
