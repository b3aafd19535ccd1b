#include "tile/RegionTileEnumerator.h"

#include "core/Tools.h"
#include "tile/ITileModel.h"
#include "tile/TileModel.h"
#include "tile/TileRange.h"
#include "tile/TileRange_p.h"

#include <QPainterPath>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
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

// Polygons of up to this many vertices go to the exact test whole: cutting them down saves nothing.
constexpr int kSmallPolygon = 32;

// A tile meets a polygon without the exact test when a disc in the tile holds no edge and lies
// inside, or holds one edge only, straight through its centre, so that half of it lies inside. The
// disc's radius is at most this share of the tile's smaller side and at least kMinWitnessRadius
// (degrees): the clipper's fuzzy comparisons work orders of magnitude below either.
constexpr double kWitnessClearance = 0.01;
constexpr double kMinWitnessRadius = 1e-8;
// Edges tried as the one through such a disc: those with the longest parts inside the tile.
constexpr int kWitnessEdges = 4;

constexpr double kTwoPi = 6.28318530717958647692;

struct EDGE {
    double x1, y1, x2, y2;
    double ymin, ymax;
    int nPolygon;
};

struct POLYGON {
    int nFirstEdge;  // the edges of a polygon are consecutive, edge i from vertex i to vertex i + 1
    int nCount;      // vertices (= edges); 0 for a polygon that meets no tile
    QRectF bounds;   // as the clipper computes them
};

// A crossing of the row's middle line by an edge: +1 upwards, -1 downwards.
struct CROSSING {
    double x;
    int nPolygon;
    int nEdge;
    int nSign;
};

// An edge's x interval within the band around a row that the near-edge lookups cover.
struct NEAR_EDGE {
    double xa, xb;
    int nEdge;
};

struct RUN {
    long long llFirst;
    long long llLast;
};

bool Finite(double v) { return std::isfinite(v); }

// The x interval of an edge's part between ylo and yhi (the edge meets that band).
void XRange(const EDGE& e, double ylo, double yhi, double& xa, double& xb)
{
    xa = e.x1;
    xb = e.x2;
    if (e.y1 != e.y2) {
        const auto xAt = [&e](double y) { return e.x1 + (e.x2 - e.x1) * (y - e.y1) / (e.y2 - e.y1); };
        xa = xAt(std::max(ylo, e.ymin));
        xb = xAt(std::min(yhi, e.ymax));
    }
    if (xa > xb)
        std::swap(xa, xb);
}

// The angle of (dx, dy) in (0, 2pi]: points on the ray to the east have 2pi, so they fall on the
// same side of the ray as the points just below it, as the half-open crossing rule counts them.
double Angle(double dx, double dy)
{
    const double a = std::atan2(dy, dx);
    return a <= 0 ? a + kTwoPi : a;
}

double SquaredDistanceToSegment(double px, double py, const EDGE& e)
{
    const double dx = e.x2 - e.x1;
    const double dy = e.y2 - e.y1;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - e.x1) * dx + (py - e.y1) * dy) / len2 : 0.0;
    t = std::min(1.0, std::max(0.0, t));
    const double qx = e.x1 + t * dx - px;
    const double qy = e.y1 + t * dy - py;
    return qx * qx + qy * qy;
}

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
    const std::atomic<bool>* stop = nullptr;
    bool stopped = false;

    std::vector<QPolygonF> rings;  // the polygons cut to the window of all tiles
    std::vector<EDGE> edges;
    std::vector<POLYGON> polys;
    std::vector<int> byTop;  // edge ids, northmost end first

    // The edges that meet the wide band of the current row (the row and half a row on either side).
    std::vector<int> wide;
    std::size_t nextTop = 0;
    double wideLo = std::numeric_limits<double>::infinity();
    double wideHi = std::numeric_limits<double>::infinity();

    // Per row.
    int rowStamp = 0;
    double mid = 0;                  // latitude of the row's middle line
    std::vector<CROSSING> crossX;    // crossings of the middle line by x
    std::vector<CROSSING> crossP;    // the same by polygon, then x
    std::vector<int> crossPrefix;    // crossPrefix[i]: sum of the signs of crossP[0, i)
    std::vector<int> polyStamp, polyBegin, polyEnd;  // each polygon's part of crossP
    std::vector<int> edgeStamp, edgeSign;            // each edge's crossing of this row's line
    std::vector<double> edgeCrossX;
    std::vector<NEAR_EDGE> nearByX;  // the wide edges by the west end of their interval
    // Sweeps along the row, west to east.
    std::size_t sweep = 0;
    std::vector<char> parity;  // per polygon: crossings west of the sweep, odd
    int oddCount = 0;
    std::size_t nearNext = 0;
    std::vector<NEAR_EDGE> nearActive;
    std::vector<int> nearIds;

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
    bool StopRaised() const { return stop != nullptr && stop->load(std::memory_order_relaxed); }
    // Prepares the current row's runs; false when stopped on the way.
    bool BuildRow();
    bool NextRow();
    void AddRun(long long first, long long last);
    // First column (>= from) whose east edge reaches x; colLast + 1 when none.
    long long FirstReaching(long long from, double x) const;
    // Last column (>= from) whose west edge is not beyond x; from - 1 when none.
    long long LastNotBeyond(long long from, double x) const;
    void UpdateWide(double lo, double hi);
    void SweepTo(double x);
    bool Decide(long long c);
    bool MidLineWitness(int p, const int* ids, int count, const CExtent& g) const;
    bool EdgeWitness(const int* ids, int count, const CExtent& g) const;
    bool ExactTest(int p, int* ids, int count, const CExtent& g, double cx, double sx, double sy);
};

void CRegionTileEnumerator::Private::Init(const EXTENT& e, const QList<QPolygonF>& polysIn, int oneBasedLevel,
                                          int mapType)
{
    extent = e;
    polygons = polysIn;
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

    polys.assign(polygons.size(), POLYGON{0, 0, QRectF()});
    rings.assign(polygons.size(), QPolygonF());
    for (int p = 0; p < polygons.size(); ++p) {
        // Edges only steer the per-tile test, which sees the polygons as given; inside the window
        // the clipped outline runs where the given one does.
        rings[p] = ClipRegionPolygon(polygons[p], kWindow);
        const QPolygonF& poly = rings[p];
        polys[p].nFirstEdge = static_cast<int>(edges.size());
        if (poly.isEmpty())
            continue;  // meets no tile
        const int n = poly.size();
        polys[p].nCount = n;
        QPainterPath path;
        path.addPolygon(poly);
        polys[p].bounds = path.boundingRect();
        for (int i = 0; i < n; ++i) {
            // Every polygon is closed implicitly, as the area test treats it.
            const QPointF& a = poly[i];
            const QPointF& b = poly[(i + 1) % n];
            edges.push_back({a.x(), a.y(), b.x(), b.y(), std::min(a.y(), b.y()), std::max(a.y(), b.y()), p});
        }
    }
    std::vector<std::pair<double, int>> tops(edges.size());
    for (std::size_t i = 0; i < edges.size(); ++i)
        tops[i] = {-edges[i].ymax, static_cast<int>(i)};
    std::sort(tops.begin(), tops.end());
    byTop.resize(tops.size());
    for (std::size_t i = 0; i < tops.size(); ++i)
        byTop[i] = tops[i].second;
    polyStamp.assign(polys.size(), 0);
    polyBegin.assign(polys.size(), 0);
    polyEnd.assign(polys.size(), 0);
    parity.assign(polys.size(), 0);
    edgeStamp.assign(edges.size(), 0);
    edgeSign.assign(edges.size(), 0);
    edgeCrossX.assign(edges.size(), 0.0);
    row = rowFirst;
}

long long CRegionTileEnumerator::Private::FirstReaching(long long from, double x) const
{
    long long lo = from;
    long long hi = colLast + 1;
    while (lo < hi) {
        const long long m = lo + (hi - lo) / 2;
        if (TileExtent(m, row).maxx >= x)
            hi = m;
        else
            lo = m + 1;
    }
    return lo;
}

long long CRegionTileEnumerator::Private::LastNotBeyond(long long from, double x) const
{
    long long lo = from - 1;
    long long hi = colLast;
    while (lo < hi) {
        const long long m = hi - (hi - lo) / 2;
        if (TileExtent(m, row).minx <= x)
            lo = m;
        else
            hi = m - 1;
    }
    return lo;
}

void CRegionTileEnumerator::Private::AddRun(long long first, long long last)
{
    if (first > last)
        return;
    if (!runs.empty() && runs.back().llLast + 1 == first)
        runs.back().llLast = last;
    else
        runs.push_back({first, last});
}

// Rows come from the north, so the band only moves south: an edge joins once when the band
// reaches its northern end and leaves for good once the band has passed its southern end.
void CRegionTileEnumerator::Private::UpdateWide(double lo, double hi)
{
    if (lo > wideLo || hi > wideHi) {  // not southwards (Reset, or an unusual scheme): start over
        nextTop = 0;
        wide.clear();
    }
    wideLo = lo;
    wideHi = hi;
    while (nextTop < byTop.size() && edges[byTop[nextTop]].ymax >= lo)
        wide.push_back(byTop[nextTop++]);
    wide.erase(std::remove_if(wide.begin(), wide.end(), [this, hi](int id) { return edges[id].ymin > hi; }),
               wide.end());
}

void CRegionTileEnumerator::Private::SweepTo(double x)
{
    for (; sweep < crossX.size() && crossX[sweep].x < x; ++sweep) {
        char& odd = parity[crossX[sweep].nPolygon];
        odd = !odd;
        oddCount += odd ? 1 : -1;
    }
}

// One row: the rows of every scheme have one latitude band for all their tiles, and column edges
// grow with the column, so a tile's place against the polygons follows from where the edges cross
// the band.
bool CRegionTileEnumerator::Private::BuildRow()
{
    runs.clear();
    runIndex = 0;
    rowReady = true;
    const CExtent band = TileExtent(colFirst, row);

    if (polygons.isEmpty()) {
        // Closed rectangles against the extent.
        if (band.miny <= extent.maxy && extent.miny <= band.maxy)
            AddRun(FirstReaching(colFirst, extent.minx), LastNotBeyond(colFirst, extent.maxx));
        return true;
    }
    ++rowStamp;
    const double lo = band.miny - kMargin;
    const double hi = band.maxy + kMargin;
    mid = (band.miny + band.maxy) / 2;
    const double bandHalo = std::max((band.maxy - band.miny) / 2, 2 * kMargin);
    UpdateWide(band.miny - bandHalo, band.maxy + bandHalo);

    for (const CROSSING& c : crossX)
        parity[c.nPolygon] = 0;
    crossX.clear();
    nearByX.clear();
    struct SPAN {
        double a, b;
    };
    std::vector<SPAN> spans;
    for (int id : wide) {
        const EDGE& e = edges[id];
        double xa = 0, xb = 0;
        XRange(e, wideLo, wideHi, xa, xb);
        nearByX.push_back({xa - kMargin, xb + kMargin, id});
        if (e.ymax < lo || e.ymin > hi)
            continue;
        // The part of the edge inside the band, as an x interval.
        XRange(e, lo, hi, xa, xb);
        spans.push_back({xa - kMargin, xb + kMargin});
        // Crossings of the band's middle line (half-open, so a vertex on it counts once).
        if ((e.y1 <= mid) != (e.y2 <= mid)) {
            const double x = e.x1 + (e.x2 - e.x1) * (mid - e.y1) / (e.y2 - e.y1);
            const int sign = e.y2 > mid ? 1 : -1;
            crossX.push_back({x, e.nPolygon, id, sign});
            edgeStamp[id] = rowStamp;
            edgeCrossX[id] = x;
            edgeSign[id] = sign;
        }
    }
    std::sort(spans.begin(), spans.end(), [](const SPAN& p, const SPAN& q) { return p.a < q.a; });
    std::sort(crossX.begin(), crossX.end(), [](const CROSSING& p, const CROSSING& q) { return p.x < q.x; });
    crossP = crossX;
    std::stable_sort(crossP.begin(), crossP.end(),
                     [](const CROSSING& p, const CROSSING& q) { return p.nPolygon < q.nPolygon; });
    crossPrefix.assign(crossP.size() + 1, 0);
    for (std::size_t i = 0; i < crossP.size(); ++i) {
        crossPrefix[i + 1] = crossPrefix[i] + crossP[i].nSign;
        const int p = crossP[i].nPolygon;
        if (polyStamp[p] != rowStamp) {
            polyStamp[p] = rowStamp;
            polyBegin[p] = static_cast<int>(i);
        }
        polyEnd[p] = static_cast<int>(i + 1);
    }
    std::sort(nearByX.begin(), nearByX.end(), [](const NEAR_EDGE& p, const NEAR_EDGE& q) { return p.xa < q.xa; });
    sweep = 0;
    oddCount = 0;
    nearNext = 0;
    nearActive.clear();

    // A run of columns that no edge comes near is wholly inside or wholly outside each polygon;
    // odd-even on the middle line at any point of it decides.
    const auto addGap = [&](long long first, long long last) {
        if (first > last)
            return;
        SweepTo((TileExtent(first, row).minx + TileExtent(last, row).maxx) / 2);
        if (oddCount > 0)
            AddRun(first, last);
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
        for (long long c = first; c <= last; ++c) {
            if (StopRaised())
                return false;
            if (Decide(c))
                AddRun(c, c);
        }
        next = last + 1;
    }
    addGap(next, colLast);
    return true;
}

// One tile near an edge. Only the edges near it take part: a polygon none of whose edges comes
// near holds the tile whole or not at all, and a near one is usually settled by a point well
// inside; the rest go to the exact test with the polygon cut down to its part around the tile.
bool CRegionTileEnumerator::Private::Decide(long long c)
{
    const CExtent g = TileExtent(c, row);
    const double cx = (g.minx + g.maxx) / 2;
    SweepTo(cx);
    const double halo = std::max((g.maxx - g.minx) / 2, 2 * kMargin);
    const double west = g.minx - halo;
    const double east = g.maxx + halo;
    while (nearNext < nearByX.size() && nearByX[nearNext].xa <= east)
        nearActive.push_back(nearByX[nearNext++]);
    nearActive.erase(std::remove_if(nearActive.begin(), nearActive.end(),
                                    [west](const NEAR_EDGE& n) { return n.xb < west; }),
                     nearActive.end());
    nearIds.clear();
    bool onePolygon = true;
    for (const NEAR_EDGE& n : nearActive) {
        nearIds.push_back(n.nEdge);
        onePolygon = onePolygon && edges[n.nEdge].nPolygon == edges[nearIds.front()].nPolygon;
    }
    if (!onePolygon) {  // grouped by polygon; the exact test puts each group in order along its polygon
        std::sort(nearIds.begin(), nearIds.end(),
                  [this](int a, int b) { return edges[a].nPolygon < edges[b].nPolygon; });
    }

    // Groups of near edges, one per polygon.
    int oddNear = 0;
    for (std::size_t a = 0; a < nearIds.size();) {
        const int p = edges[nearIds[a]].nPolygon;
        if (parity[p])
            ++oddNear;
        while (a < nearIds.size() && edges[nearIds[a]].nPolygon == p)
            ++a;
    }
    if (oddCount > oddNear)
        return true;  // inside a polygon that no edge of its own comes near
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t a = 0; a < nearIds.size();) {
            const int p = edges[nearIds[a]].nPolygon;
            std::size_t b = a;
            while (b < nearIds.size() && edges[nearIds[b]].nPolygon == p)
                ++b;
            const int count = static_cast<int>(b - a);
            if (pass == 0 ? MidLineWitness(p, &nearIds[a], count, g) || EdgeWitness(&nearIds[a], count, g)
                          : ExactTest(p, &nearIds[a], count, g, cx, 2 * ((g.maxx - g.minx) / 2 + halo),
                                      2 * ((g.maxy - g.miny) / 2 + std::max((g.maxy - g.miny) / 2, 2 * kMargin))))
                return true;
            a = b;
        }
    }
    return false;
}

// A point of the tile's middle line inside polygon p (odd-even) with no edge of p within the
// clearance: the areas then share a disc, which the exact test finds as well.
bool CRegionTileEnumerator::Private::MidLineWitness(int p, const int* ids, int count, const CExtent& g) const
{
    if (polyStamp[p] != rowStamp)
        return false;  // no crossing: the middle line is outside p
    const double clearance = kWitnessClearance * std::min(g.maxx - g.minx, g.maxy - g.miny);
    if (!(clearance > 0))
        return false;
    const auto first = crossP.begin() + polyBegin[p];
    const auto last = crossP.begin() + polyEnd[p];
    auto k = std::lower_bound(first, last, g.minx, [](const CROSSING& q, double x) { return q.x < x; });
    bool odd = ((k - first) % 2) == 1;
    double from = g.minx;
    for (;; ++k) {
        const bool end = k == last || k->x >= g.maxx;
        const double to = end ? g.maxx : k->x;
        if (odd && to - from >= 2 * clearance) {
            const double x = (from + to) / 2;
            bool clear = true;
            for (int i = 0; i < count && clear; ++i)
                clear = SquaredDistanceToSegment(x, mid, edges[ids[i]]) >= clearance * clearance;
            if (clear)
                return true;
        }
        if (end)
            return false;
        from = to;
        odd = !odd;
    }
}

// An edge of the polygon through the tile, with a disc around the middle of its part in the tile
// that no other edge enters: the edge halves the disc, and odd-even fill puts one half inside.
bool CRegionTileEnumerator::Private::EdgeWitness(const int* ids, int count, const CExtent& g) const
{
    const double tileClearance = kWitnessClearance * std::min(g.maxx - g.minx, g.maxy - g.miny);
    if (!(tileClearance >= kMinWitnessRadius))
        return false;
    struct PART {
        double length = 0, mx = 0, my = 0;
        int index = -1;
    };
    PART best[kWitnessEdges];
    for (int i = 0; i < count; ++i) {
        // The edge clipped to the tile (Liang-Barsky).
        const EDGE& e = edges[ids[i]];
        const double dx = e.x2 - e.x1;
        const double dy = e.y2 - e.y1;
        double t0 = 0, t1 = 1;
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {e.x1 - g.minx, g.maxx - e.x1, e.y1 - g.miny, g.maxy - e.y1};
        bool inside = true;
        for (int k = 0; k < 4 && inside; ++k) {
            if (p[k] == 0) {
                inside = q[k] >= 0;
            } else if (p[k] < 0) {
                t0 = std::max(t0, q[k] / p[k]);
            } else {
                t1 = std::min(t1, q[k] / p[k]);
            }
        }
        if (!inside || t0 >= t1)
            continue;
        PART part{(t1 - t0) * std::sqrt(dx * dx + dy * dy), e.x1 + (t0 + t1) / 2 * dx, e.y1 + (t0 + t1) / 2 * dy, i};
        for (PART& slot : best) {
            if (part.length > slot.length)
                std::swap(part, slot);
        }
    }
    for (const PART& part : best) {
        const double radius = std::min(part.length / 4, tileClearance);
        if (part.index < 0 || radius < kMinWitnessRadius)
            continue;
        if (part.mx - g.minx < radius || g.maxx - part.mx < radius || part.my - g.miny < radius ||
            g.maxy - part.my < radius)
            continue;  // the disc would reach out of the tile
        bool alone = true;
        for (int i = 0; i < count && alone; ++i)
            alone = i == part.index || SquaredDistanceToSegment(part.mx, part.my, edges[ids[i]]) > radius * radius;
        if (alone)
            return true;
    }
    return false;
}

// The exact test on a polygon cut down to its edges near the tile. Each stretch of far edges is
// replaced by a path that stays outside the halo around the tile: out along the ray from the tile's
// centre to a rectangle of half sizes sx, sy, round that rectangle, and back in. Such a path changes
// no winding number inside the halo as long as the paths together turn about the centre as far as
// the stretches did; that follows from where the stretches cross the eastward ray from the centre,
// which the row's crossings tell. So the cut polygon holds exactly the same area near the tile.
bool CRegionTileEnumerator::Private::ExactTest(int p, int* ids, int count, const CExtent& g, double cx,
                                               double sx, double sy)
{
    const POLYGON& P = polys[p];
    const QPolygonF& poly = rings[p];
    QPainterPath tilePath;
    tilePath.addPolygon(QPolygonF({QPointF(g.minx, g.miny), QPointF(g.minx, g.maxy), QPointF(g.maxx, g.maxy),
                                   QPointF(g.maxx, g.miny)}));
    if (!P.bounds.intersects(tilePath.boundingRect()))
        return false;  // as the clipper itself decides before anything else
    const int n = P.nCount;
    if (n <= kSmallPolygon || 2 * count >= n)
        return PolygonMeetsTile(poly, g);
    std::sort(ids, ids + count);  // along the polygon

    // The turns of the far stretches across the eastward ray from (cx, mid).
    int turns = 0;
    if (polyStamp[p] == rowStamp) {
        const auto first = crossP.begin() + polyBegin[p];
        const auto last = crossP.begin() + polyEnd[p];
        const auto east = std::upper_bound(first, last, cx, [](double x, const CROSSING& q) { return x < q.x; });
        turns = crossPrefix[polyEnd[p]] - crossPrefix[east - crossP.begin()];
    }
    for (int i = 0; i < count; ++i) {
        if (edgeStamp[ids[i]] == rowStamp && edgeCrossX[ids[i]] > cx)
            turns -= edgeSign[ids[i]];
    }

    const QPointF corners[4] = {QPointF(cx + sx, mid + sy), QPointF(cx - sx, mid + sy), QPointF(cx - sx, mid - sy),
                                QPointF(cx + sx, mid - sy)};
    double cornerAngle[4];
    for (int k = 0; k < 4; ++k)
        cornerAngle[k] = Angle(corners[k].x() - cx, corners[k].y() - mid);
    const auto project = [&](const QPointF& v) {
        const double dx = v.x() - cx;
        const double dy = v.y() - mid;
        const double t = 1.0 / std::max(std::fabs(dx) / sx, std::fabs(dy) / sy);
        return QPointF(cx + dx * t, mid + dy * t);
    };
    QPolygonF cut;
    const auto bridge = [&](const QPointF& from, const QPointF& to, int fullTurns) {
        const double a = Angle(from.x() - cx, from.y() - mid);
        const double b = Angle(to.x() - cx, to.y() - mid);
        const QPointF start = project(from);
        cut << start;
        for (int t = 0; t < std::abs(fullTurns); ++t) {
            if (fullTurns > 0) {
                for (int k = 0; k < 4; ++k)
                    if (cornerAngle[k] > a) cut << corners[k];
                for (int k = 0; k < 4; ++k)
                    if (cornerAngle[k] <= a) cut << corners[k];
            } else {
                for (int k = 3; k >= 0; --k)
                    if (cornerAngle[k] < a) cut << corners[k];
                for (int k = 3; k >= 0; --k)
                    if (cornerAngle[k] >= a) cut << corners[k];
            }
            cut << start;
        }
        if (b > a) {
            for (int k = 0; k < 4; ++k)
                if (cornerAngle[k] > a && cornerAngle[k] < b) cut << corners[k];
        } else {
            for (int k = 3; k >= 0; --k)
                if (cornerAngle[k] > b && cornerAngle[k] < a) cut << corners[k];
        }
        cut << project(to);
    };
    for (int j = 0; j < count; ++j) {
        const int i = ids[j] - P.nFirstEdge;
        const int next = ids[(j + 1) % count] - P.nFirstEdge;
        const int after = (i + 1) % n;
        cut << poly[i];
        if (after == next)
            continue;
        cut << poly[after];
        bridge(poly[after], poly[next], turns);
        turns = 0;
    }
    // The clipper's own short cuts must see what they would see in the whole polygon: its bounds
    // meeting the tile's (checked above) and no rectangle of five points.
    const QRectF cutBounds = cut.boundingRect();
    if (cut.size() == 5 || !(cutBounds.left() < g.maxx && cutBounds.right() > g.minx && cutBounds.top() < g.maxy &&
                             cutBounds.bottom() > g.miny))
        return PolygonMeetsTile(poly, g);
    return PolygonMeetsTile(cut, g);
}

bool CRegionTileEnumerator::Private::NextRow()
{
    if (StopRaised() || !BuildRow()) {
        stopped = true;
        return false;
    }
    col = runs.empty() ? 0 : runs.front().llFirst;
    return true;
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
    if (!p.valid || p.stopped)
        return false;
    if (p.StopRaised()) {
        p.stopped = true;
        return false;
    }
    while (p.row <= p.rowLast) {
        if (!p.rowReady && !p.NextRow())
            return false;
        while (p.runIndex < p.runs.size()) {
            const RUN& run = p.runs[p.runIndex];
            if (p.col <= run.llLast) {
                key = p.Key(p.col++, p.row);
                return true;
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
    d->stopped = false;
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

long long CRegionTileEnumerator::Count()
{
    Private& p = *d;
    long long count = 0;
    if (!p.valid || p.stopped)
        return 0;
    while (p.row <= p.rowLast) {
        if (!p.rowReady && !p.NextRow())
            return count;
        for (; p.runIndex < p.runs.size(); ++p.runIndex) {
            const RUN& run = p.runs[p.runIndex];
            count += std::max(0LL, run.llLast - std::max(p.col, run.llFirst) + 1);
            p.col = run.llLast + 1;
        }
        ++p.row;
        p.rowReady = false;
    }
    return count;
}

void CRegionTileEnumerator::SetStopFlag(const std::atomic<bool>* stop)
{
    d->stop = stop;
}

bool CRegionTileEnumerator::WasStopped() const
{
    return d->stopped;
}
