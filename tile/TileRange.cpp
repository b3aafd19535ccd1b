#include "tile/TileRange.h"

#include "core/Tools.h"
#include "core/log/VtLog.h"
#include "tile/ITileModel.h"
#include "tile/TileModel.h"
#include "tile/TileRange_p.h"

#include <cmath>

#include <cstdint>

namespace {

bool IsRegionScheme(E_TILE_MODEL m)
{
    return m == TILE_MODEL_MERCATOR || m == TILE_MODEL_GEOGRAPHIC || m == TILE_MODEL_BAIDU;
}

// Closed rectangles: sharing an edge or a corner counts.
bool Overlaps(const EXTENT& g, const EXTENT& e)
{
    return g.minx <= e.maxx && e.minx <= g.maxx && g.miny <= e.maxy && e.miny <= g.maxy;
}

QPolygonF TilePolygon(const CExtent& g)
{
    QPolygonF tile;
    tile << QPointF(g.minx, g.miny) << QPointF(g.minx, g.maxy) << QPointF(g.maxx, g.maxy) << QPointF(g.maxx, g.miny);
    return tile;
}

constexpr double kMaxPolygonCoordinate = 10000.0;  // degrees

bool Meets(const QPolygonF& polygon, const QPolygonF& tile)
{
    if (!IsUsableRegionPolygon(polygon))
        return false;
    // QPainterPath's boolean operations allocate; nothing of them may escape the library.
    try {
        return !polygon.intersected(tile).isEmpty();
    } catch (...) {
        return false;
    }
}

CExtent TileExtent(const CTileKey& k)
{
    return ITileModel::GetTileModel(k.GetTileModel(), true)->GetGeoExtent(k);
}

// Wrapping 32-bit arithmetic, done in unsigned so that it is defined.
std::int32_t Wrap(std::int64_t v)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}

std::int32_t WrapMul(std::int32_t a, std::int32_t b)
{
    return Wrap(static_cast<std::int64_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint64_t>(static_cast<std::uint32_t>(b))));
}

}  // namespace

bool IsUsableRegionPolygon(const QPolygonF& polygon)
{
    for (const QPointF& p : polygon) {
        if (!(std::fabs(p.x()) <= kMaxPolygonCoordinate && std::fabs(p.y()) <= kMaxPolygonCoordinate))
            return false;  // also NaN
    }
    return true;
}

bool InTileRange(const CTileKey& k, const CTileKey& min, const CTileKey& max)
{
    if (!k.IsValid() || !min.IsValid() || !max.IsValid())
        return false;
    CTileKey key = k;
    key.ChangeTileModel(min.GetTileModel());
    return min.GetLevel() <= key.GetLevel() && key.GetLevel() <= max.GetLevel() && min.GetTileX() <= key.GetTileX() &&
           key.GetTileX() <= max.GetTileX() && min.GetTileY() <= key.GetTileY() && key.GetTileY() <= max.GetTileY();
}

bool ConvertToTileBouding(CTileKey& min, CTileKey& max, const EXTENT& e, int level, E_TILE_MODEL m)
{
    const CTileModel* model = ITileModel::GetTileModel(m, true);
    if (model == nullptr)
        return false;
    int startRow = 0, startCol = 0, rowCount = 0, colCount = 0;
    const int zeroBased = level - 1;
    model->GetRowColInfo(startRow, startCol, rowCount, colCount, e, zeroBased);
    // 64-bit corners narrowed by ChangeTileModel, so a hostile range cannot overflow.
    min = CTileKey(zeroBased, startCol, startRow, m);
    max = CTileKey(zeroBased, static_cast<int>(static_cast<long long>(startCol) + colCount - 1),
                   static_cast<int>(static_cast<long long>(startRow) + rowCount - 1), m);
    min.ChangeTileModel(TILE_MODEL_MAPID);
    max.ChangeTileModel(TILE_MODEL_MAPID);
    return true;
}

bool ConvertToTileBouding(CTileKey& min, CTileKey& max, const EXTENT& e, int level, int mapType)
{
    E_TILE_MODEL m = TILE_MODEL_MERCATOR;
    if (Tools::isBaidu(mapType))
        m = TILE_MODEL_BAIDU;
    else if (Tools::isWGS(mapType))
        m = TILE_MODEL_GEOGRAPHIC;
    return ConvertToTileBouding(min, max, e, level, m);
}

bool IsTileInPolygon(const CTileKey& k, const EXTENT& e, const QPolygonF& polygon)
{
    if (!IsRegionScheme(k.GetTileModel()))
        return false;
    const CExtent g = TileExtent(k);
    if (polygon.isEmpty())
        return Overlaps(g, e);
    return Meets(polygon, TilePolygon(g));
}

bool IsTileInPolygons(const CTileKey& k, const EXTENT& e, const QList<QPolygonF>& polygons)
{
    if (!IsRegionScheme(k.GetTileModel())) {
        VtLogError() << VtGB("[IsTileInPolygons] 不支持该模型的转换: ") << static_cast<int>(k.GetTileModel());
        return false;
    }
    const CExtent g = TileExtent(k);
    if (polygons.isEmpty())
        return Overlaps(g, e);
    const QPolygonF tile = TilePolygon(g);
    for (const QPolygonF& polygon : polygons) {
        if (Meets(polygon, tile))
            return true;
    }
    return false;
}

long long CalculateTileNumber(const CTileKey& a, const CTileKey& b)
{
    const std::int64_t rows = Wrap(static_cast<std::int64_t>(b.GetTileY()) - a.GetTileY() + 1);
    const std::int64_t cols = Wrap(static_cast<std::int64_t>(b.GetTileX()) - a.GetTileX() + 1);
    return rows * cols;
}

long long CalculateTileMDistance(const CTileKey& a, const CTileKey& b)
{
    const long long dx = static_cast<long long>(a.GetTileX()) - b.GetTileX();
    const long long dy = static_cast<long long>(a.GetTileY()) - b.GetTileY();
    return (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy);
}

long long CalculateTileLevelDistance(const CTileKey& a, const CTileKey& b, int /*unused*/)
{
    CTileKey from = a;
    from.ChangeTileModel(TILE_MODEL_MERCATOR);
    CTileKey to = b;
    if (to.GetTileModel() == TILE_MODEL_MAPID)
        to.ChangeTileModel(TILE_MODEL_MERCATOR);
    const CTileModel* mercator = ITileModel::GetTileModel(TILE_MODEL_MERCATOR, true);
    const CExtent g = mercator->GetGeoExtent(from);
    const CTileKey c = mercator->MakeKey(to.GetLevel(), (g.minx + g.maxx) / 2, (g.miny + g.maxy) / 2);
    const std::int64_t d = static_cast<std::int64_t>(to.GetLevel()) - from.GetLevel();
    const std::int64_t dx = static_cast<std::int64_t>(c.GetTileX()) - to.GetTileX();
    const std::int64_t dy = static_cast<std::int64_t>(c.GetTileY()) - to.GetTileY();
    const std::int32_t manhattan = Wrap((dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy) + 1);
    const std::int64_t shift = (d < 0 ? -d : d) + 2;
    // 2^shift in 32 bits: 0 once the bit has left the word.
    const std::int32_t factor = d == 0 ? 1 : (shift >= 32 ? 0 : Wrap(std::int64_t{1} << shift));
    return WrapMul(manhattan, factor);
}
