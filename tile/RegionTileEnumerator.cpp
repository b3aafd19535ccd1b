#include "tile/RegionTileEnumerator.h"

#include "core/Tools.h"
#include "tile/ITileModel.h"
#include "tile/TileModel.h"
#include "tile/TileRange.h"
#include "tile/TileRange_p.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr int kMaxLevel = 31;

// Distance (degrees) within which a polygon edge counts as touching a tile. The tiles it catches
// are decided by the exact per-tile test, so a generous margin costs only a few exact tests, while
// it keeps every whole-run decision clear of rounding in the edge clipping and of the fuzzy
// comparisons of QPainterPath's clipper.
constexpr double kMargin = 1e-7;
// Every tile of the models lies inside; polygons are cut to it before their edges are used.
constexpr EXTENT kWindow{-kRegionWindow, -kRegionWindow, kRegionWindow, kRegionWindow};

struct EDGE {
    double x1, y1, x2, y2;
    double ymin, ymax;
    int nPolygon;
};

// A run of columns of one row: emitted whole, or tile by tile after the exact test.
struct RUN {
    long long llFirst;
    long long llLast;
    bool bTest;
};

bool Finite(double v) { return std::isfinite(v); }

}  // namespace

struct CRegionTileEnumerator::Private {
    EXTENT extent{0, 0, 0, 0};
    QList<QPolygonF> polygons;
    E_TILE_MODEL scheme = TILE_MODEL_MERCATOR;
    const CTileModel* model = nullptr;
    int level = 0;  // zero-based
    QString urlTemplate;
    bool valid = false;
    long long rowFirst = 0, rowLast = -1, colFirst = 0, colLast = -1;
    std::vector<EDGE> edges;
    int polygonCount = 0;

    // Cursor.
    long long row = 0;
    bool rowReady = false;
    std::vector<RUN> runs;
    std::size_t runIndex = 0;
    long long col = 0;

    void Init(const EXTENT& e, const QList<QPolygonF>& polys, int oneBasedLevel, int mapType);
    CTileKey Key(long long c, long long r) const
    {
        return CTileKey(level, static_cast<int>(c), static_cast<int>(r), scheme);
    }
    CExtent TileExtent(long long c, long long r) const { return model->GetGeoExtent(Key(c, r)); }
    void BuildRow();
    void AddRun(long long first, long long last, bool test);
    // First column (>= from) whose east edge reaches x; colLast + 1 when none.
    long long FirstReaching(long long from, double x) const;
    // Last column (>= from) whose west edge is not beyond x; from - 1 when none.
    long long LastNotBeyond(long long from, double x) const;
    bool Accept(long long c) const;
};

void CRegionTileEnumerator::Private::Init(const EXTENT& e, const QList<QPolygonF>& polys, int oneBasedLevel,
                                          int mapType)
{
    extent = e;
    polygons = polys;
    scheme = TILE_MODEL_MERCATOR;
    if (Tools::isBaidu(mapType))
        scheme = TILE_MODEL_BAIDU;
    else if (Tools::isWGS(mapType))
        scheme = TILE_MODEL_GEOGRAPHIC;
    model = ITileModel::GetTileModel(scheme, true);
    if (oneBasedLevel < 1 || oneBasedLevel > kMaxLevel || model == nullptr ||
        !(Finite(e.minx) && Finite(e.miny) && Finite(e.maxx) && Finite(e.maxy)))
        return;
    CTileKey minKey, maxKey;
    if (!ConvertToTileBouding(minKey, maxKey, e, oneBasedLevel, mapType))
        return;
    minKey.ChangeTileModel(scheme);
    maxKey.ChangeTileModel(scheme);
    level = oneBasedLevel - 1;
    rowFirst = std::max(0, minKey.GetTileY());
    rowLast = std::min<long long>(maxKey.GetTileY(), model->GetNumberTileY(level) - 1LL);
    colFirst = std::max(0, minKey.GetTileX());
    colLast = std::min<long long>(maxKey.GetTileX(), model->GetNumberTileX(level) - 1LL);
    valid = rowFirst <= rowLast && colFirst <= colLast;

    polygonCount = polygons.size();
    for (int p = 0; p < polygons.size(); ++p) {
        // Edges only steer the per-tile test, which sees the polygons as given; inside the window
        // the clipped outline runs where the given one does.
        const QPolygonF poly = ClipRegionPolygon(polygons[p], kWindow);
        const int n = poly.size();
        for (int i = 0; i < n; ++i) {
            // Every polygon is closed implicitly, as the area test treats it.
            const QPointF& a = poly[i];
            const QPointF& b = poly[(i + 1) % n];
            edges.push_back({a.x(), a.y(), b.x(), b.y(), std::min(a.y(), b.y()), std::max(a.y(), b.y()), p});
        }
    }
    row = rowFirst;
}

long long CRegionTileEnumerator::Private::FirstReaching(long long from, double x) const
{
    long long lo = from;
    long long hi = colLast + 1;
    while (lo < hi) {
        const long long mid = lo + (hi - lo) / 2;
        if (TileExtent(mid, row).maxx >= x)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

long long CRegionTileEnumerator::Private::LastNotBeyond(long long from, double x) const
{
    long long lo = from - 1;
    long long hi = colLast;
    while (lo < hi) {
        const long long mid = hi - (hi - lo) / 2;
        if (TileExtent(mid, row).minx <= x)
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

void CRegionTileEnumerator::Private::AddRun(long long first, long long last, bool test)
{
    if (first > last)
        return;
    if (!runs.empty() && runs.back().bTest == test && runs.back().llLast + 1 == first)
        runs.back().llLast = last;
    else
        runs.push_back({first, last, test});
}

// One row: the rows of every scheme have one latitude band for all their tiles, and column edges
// grow with the column, so a tile's place against the polygons follows from where the edges cross
// the band.
void CRegionTileEnumerator::Private::BuildRow()
{
    runs.clear();
    runIndex = 0;
    rowReady = true;
    const CExtent band = TileExtent(colFirst, row);

    if (polygons.isEmpty()) {
        // Closed rectangles against the extent.
        if (band.miny <= extent.maxy && extent.miny <= band.maxy)
            AddRun(FirstReaching(colFirst, extent.minx), LastNotBeyond(colFirst, extent.maxx), false);
        return;
    }
    const double lo = band.miny - kMargin;
    const double hi = band.maxy + kMargin;
    const double mid = (band.miny + band.maxy) / 2;
    struct SPAN {
        double a, b;
    };
    std::vector<SPAN> spans;
    std::vector<std::vector<double>> crossings(polygonCount);
    for (const EDGE& e : edges) {
        if (e.ymax < lo || e.ymin > hi)
            continue;
        // The part of the edge inside the band, as an x interval.
        double xa = e.x1;
        double xb = e.x2;
        if (e.y1 != e.y2) {
            const auto xAt = [&e](double y) { return e.x1 + (e.x2 - e.x1) * (y - e.y1) / (e.y2 - e.y1); };
            const double ya = std::max(lo, e.ymin);
            const double yb = std::min(hi, e.ymax);
            xa = xAt(ya);
            xb = xAt(yb);
        }
        spans.push_back({std::min(xa, xb) - kMargin, std::max(xa, xb) + kMargin});
        // Crossings of the band's middle line (half-open, so a vertex on it counts once).
        if ((e.y1 <= mid) != (e.y2 <= mid))
            crossings[e.nPolygon].push_back(e.x1 + (e.x2 - e.x1) * (mid - e.y1) / (e.y2 - e.y1));
    }
    std::sort(spans.begin(), spans.end(), [](const SPAN& p, const SPAN& q) { return p.a < q.a; });
    for (auto& list : crossings)
        std::sort(list.begin(), list.end());

    // A run of columns that no edge comes near is wholly inside or wholly outside each polygon;
    // odd-even on the middle line at any point of it decides.
    const auto inside = [&crossings](double x) {
        for (const auto& list : crossings) {
            const auto left = std::lower_bound(list.begin(), list.end(), x) - list.begin();
            if (left % 2 == 1)
                return true;
        }
        return false;
    };
    const auto addGap = [&](long long first, long long last) {
        if (first > last)
            return;
        const double x = (TileExtent(first, row).minx + TileExtent(last, row).maxx) / 2;
        if (inside(x))
            AddRun(first, last, false);
    };

    long long next = colFirst;  // first column not yet placed
    std::size_t i = 0;
    while (i < spans.size() && next <= colLast) {
        double a = spans[i].a;
        double b = spans[i].b;
        for (++i; i < spans.size() && spans[i].a <= b; ++i)
            b = std::max(b, spans[i].b);
        const long long first = FirstReaching(next, a);
        const long long last = LastNotBeyond(next, b);
        if (first > last)
            continue;  // the span falls between columns already placed or beyond the range
        addGap(next, first - 1);
        AddRun(first, last, true);
        next = last + 1;
    }
    addGap(next, colLast);
}

bool CRegionTileEnumerator::Private::Accept(long long c) const
{
    return IsTileInPolygons(Key(c, row), extent, polygons);
}

CRegionTileEnumerator::CRegionTileEnumerator(const EXTENT& e, const QList<QPolygonF>& polygons, int level,
                                             int mapType)
    : d(std::make_unique<Private>())
{
    d->Init(e, polygons, level, mapType);
}

CRegionTileEnumerator::CRegionTileEnumerator(const QList<QPolygonF>& polygons, int level, int mapType)
    : d(std::make_unique<Private>())
{
    double minx = std::numeric_limits<double>::infinity();
    double miny = minx;
    double maxx = -minx;
    double maxy = -minx;
    for (const QPolygonF& given : polygons) {
        for (const QPointF& p : ClipRegionPolygon(given, kWindow)) {
            minx = std::min(minx, p.x());
            miny = std::min(miny, p.y());
            maxx = std::max(maxx, p.x());
            maxy = std::max(maxy, p.y());
        }
    }
    // No usable point leaves the extent infinite, which enumerates nothing.
    d->Init(EXTENT{minx, miny, maxx, maxy}, polygons, level, mapType);
}

CRegionTileEnumerator::~CRegionTileEnumerator() = default;

void CRegionTileEnumerator::SetUrlTemplate(const QString& urlTemplate)
{
    d->urlTemplate = urlTemplate;
}

E_TILE_MODEL CRegionTileEnumerator::GetTileModel() const
{
    return d->scheme;
}

bool CRegionTileEnumerator::Next(CTileKey& key)
{
    Private& p = *d;
    if (!p.valid)
        return false;
    while (p.row <= p.rowLast) {
        if (!p.rowReady) {
            p.BuildRow();
            p.col = p.runs.empty() ? 0 : p.runs.front().llFirst;
        }
        while (p.runIndex < p.runs.size()) {
            const RUN& run = p.runs[p.runIndex];
            while (p.col <= run.llLast) {
                const long long c = p.col++;
                if (!run.bTest || p.Accept(c)) {
                    key = p.Key(c, p.row);
                    return true;
                }
            }
            if (++p.runIndex < p.runs.size())
                p.col = p.runs[p.runIndex].llFirst;
        }
        ++p.row;
        p.rowReady = false;
    }
    return false;
}

bool CRegionTileEnumerator::Next(CTileKey& key, QString& url)
{
    if (!Next(key))
        return false;
    url.clear();
    if (!d->urlTemplate.isEmpty()) {
        url = d->urlTemplate;
        Tools::ReplaceUrlXYZ(url, key.GetTileX(), key.GetTileY(), key.GetLevel(),
                             d->scheme == TILE_MODEL_GEOGRAPHIC);
    }
    return true;
}

void CRegionTileEnumerator::Reset()
{
    d->row = d->rowFirst;
    d->rowReady = false;
    d->runs.clear();
    d->runIndex = 0;
}

long long CRegionTileEnumerator::ForEach(const std::function<bool(const CTileKey& key, const QString& url)>& visit)
{
    long long count = 0;
    CTileKey key;
    QString url;
    while (Next(key, url)) {
        ++count;
        if (!visit(key, url))
            break;
    }
    return count;
}
