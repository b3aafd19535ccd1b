#include "tile/TileRange.h"

#include "core/Tools.h"
#include "core/log/VtLog.h"
#include "tile/ITileModel.h"
#include "tile/TileModel.h"
#include "tile/TileRange_p.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

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

bool Meets(const QPolygonF& polygon, const CExtent& g)
{
    // Polygons within the window of all tiles go to the clipper as given; only one reaching far
    // beyond is cut first. The window also holds the tile, should its key lie outside the world.
    const EXTENT window{std::min(-kRegionWindow, g.minx - 1.0), std::min(-kRegionWindow, g.miny - 1.0),
                        std::max(kRegionWindow, g.maxx + 1.0), std::max(kRegionWindow, g.maxy + 1.0)};
    const QPolygonF cut = ClipRegionPolygon(polygon, window);
    if (cut.isEmpty())
        return false;
    // QPainterPath's boolean operations allocate; nothing of them may escape the library.
    try {
        return !cut.intersected(TilePolygon(g)).isEmpty();
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

QPolygonF ClipRegionPolygon(const QPolygonF& polygon, const EXTENT& window)
{
    bool inside = true;
    for (const QPointF& p : polygon) {
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
            return QPolygonF();
        inside = inside && window.minx <= p.x() && p.x() <= window.maxx && window.miny <= p.y() && p.y() <= window.maxy;
    }
    if (inside)
        return polygon;

    // Sutherland-Hodgman, one window side after the other: clipping against a half-plane keeps
    // every inner point's winding number. Long double holds the difference of any two doubles,
    // so edges between far points are cut without overflow.
    struct P {
        long double x, y;
    };
    std::vector<P> points;
    points.reserve(static_cast<std::size_t>(polygon.size()));
    for (const QPointF& p : polygon)
        points.push_back({p.x(), p.y()});
    struct Side {
        bool vertical;  // the side is a line x = v (else y = v)
        long double v;
        bool keepAbove;  // the inside has coordinates >= v
    };
    const Side sides[] = {{true, window.minx, true}, {true, window.maxx, false}, {false, window.miny, true},
                          {false, window.maxy, false}};
    std::vector<P> out;
    for (const Side& side : sides) {
        out.clear();
        const auto in = [&side](const P& p) {
            const long double c = side.vertical ? p.x : p.y;
            return side.keepAbove ? c >= side.v : c <= side.v;
        };
        const auto cut = [&side](const P& a, const P& b) {
            if (side.vertical) {
                const long double t = (side.v - a.x) / (b.x - a.x);
                return P{side.v, a.y + t * (b.y - a.y)};
            }
            const long double t = (side.v - a.y) / (b.y - a.y);
            return P{a.x + t * (b.x - a.x), side.v};
        };
        for (std::size_t i = 0; i < points.size(); ++i) {
            const P& prev = points[(i + points.size() - 1) % points.size()];
            const P& cur = points[i];
            if (in(cur)) {
                if (!in(prev))
                    out.push_back(cut(prev, cur));
                out.push_back(cur);
            } else if (in(prev)) {
                out.push_back(cut(prev, cur));
            }
        }
        points.swap(out);
        if (points.empty())
            return QPolygonF();
    }
    QPolygonF clipped;
    clipped.reserve(static_cast<int>(points.size()));
    for (const P& p : points)
        clipped << QPointF(static_cast<double>(p.x), static_cast<double>(p.y));
    return clipped;
}

bool PolygonMeetsTile(const QPolygonF& polygon, const CExtent& tile)
{
    return Meets(polygon, tile);
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
    return Meets(polygon, g);
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
    for (const QPolygonF& polygon : polygons) {
        if (Meets(polygon, g))
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
