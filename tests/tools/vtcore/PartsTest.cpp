// The tool's parts on their own: argument parsers, regions and datums, the grid tile, the check for
// complete images and the rate limiter.
#include "tools/vtcore/CliParse.h"
#include "tools/vtcore/Downloader.h"
#include "tools/vtcore/GridTile.h"
#include "tools/vtcore/RateLimiter.h"
#include "tools/vtcore/Region.h"
#include "tools/vtcore/TileExport.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

using namespace VtCli;
using Clock = CRateLimiter::Clock;
using std::chrono::milliseconds;

namespace {

double MetresBetween(const QPointF& a, const QPointF& b) {
    const double kDegree = 111320.0;
    const double dx = (a.x() - b.x()) * kDegree * std::cos(a.y() * M_PI / 180.0);
    const double dy = (a.y() - b.y()) * kDegree;
    return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

TEST(CliParse, LevelLists) {
    QList<int> all;
    for (int level = 1; level <= 23; ++level) all << level;
    const std::tuple<const char*, bool, QList<int>> rows[] = {
        {"12", true, {12}},
        {"1-3", true, {1, 2, 3}},
        {"7-9,3,5,8", true, {3, 5, 7, 8, 9}},  // sorted, duplicates merged
        {" 2 , 4-4 ", true, {2, 4}},            // blanks and one-level ranges
        {"1-23", true, all},                     // the deepest level is allowed
        {"0", false, {}},                        // levels are one-based
        {"24", false, {}},                       // deeper than a depository holds
        {"-3", false, {}},                       // negative, not a range
        {"5-3", false, {}},                      // backwards
        {"3,", false, {}},                       // empty part
        {"", false, {}},
        {"2-x", false, {}},
        {"99999999999", false, {}},              // overflows int
    };
    for (const auto& [text, ok, expected] : rows) {
        QList<int> levels, back;
        QString error;
        EXPECT_EQ(ParseLevels(text, 1, 23, levels, error), ok) << text;
        EXPECT_EQ(error.isEmpty(), ok) << text;
        if (!ok) continue;
        EXPECT_EQ(levels, expected) << text;
        // Formatted back to ranges, the list reads the same.
        ASSERT_TRUE(ParseLevels(FormatLevels(levels), 1, 23, back, error)) << qPrintable(FormatLevels(levels));
        EXPECT_EQ(back, levels);
    }
    EXPECT_EQ(FormatLevels({1, 2, 3, 5, 7, 8}), QStringLiteral("1-3,5,7-8"));
    EXPECT_TRUE(FormatLevels({}).isEmpty());
}

TEST(CliParse, Extents) {
    const std::tuple<const char*, bool, EXTENT> rows[] = {
        {"115.7,39.4,117.4,41.1", true, {115.7, 39.4, 117.4, 41.1}},
        {" -1.5, -2 ,3,4.25", true, {-1.5, -2, 3, 4.25}},    // blanks around the numbers
        {"-180,-90,180,90", true, {-180, -90, 180, 90}},      // the whole world, borders included
        {"10,10,10,10", true, {10, 10, 10, 10}},              // a point
        {"180.0001,0,180,1", false, {}},   // beyond the antimeridian
        {"0,-90.5,1,1", false, {}},        // beyond the pole
        {"2,0,1,1", false, {}},            // west of its own west edge
        {"0,2,1,1", false, {}},            // south above north
        {"0,0,1", false, {}},              // three numbers
        {"0,0,1,1,1", false, {}},          // five
        {"nan,0,1,1", false, {}},
        {"inf,0,1,1", false, {}},
        {"0,0,1e400,1", false, {}},
        {"a,b,c,d", false, {}},
    };
    for (const auto& [text, ok, expected] : rows) {
        EXTENT e{0, 0, 0, 0};
        QString error;
        EXPECT_EQ(ParseExtent(text, e, error), ok) << text;
        if (ok) { EXPECT_TRUE(e.minx == expected.minx && e.miny == expected.miny && e.maxx == expected.maxx && e.maxy == expected.maxy) << text; }
    }
}

TEST(CliParse, HeadersRefuseInjection) {
    struct Row {
        const char* text;
        bool ok;
        const char* name;
        const char* value;
    };
    const Row rows[] = {
        {"Referer: https://example.test/", true, "Referer", "https://example.test/"},
        {"X-Key:abc:def", true, "X-Key", "abc:def"},  // only the first colon separates
        {"X-09AZaz: v", true, "X-09AZaz", "v"},       // digits and letters at both ends of their ranges
        {"Empty:", true, "Empty", ""},
        {": value", false, "", ""},                   // no name
        {"No colon", false, "", ""},
        {"Bad Name: v", false, "", ""},               // blank inside the name
        {"X: a\r\nInjected: b", false, "", ""},       // a second header smuggled in
        {"X: a\nb", false, "", ""},
    };
    for (const Row& r : rows) {
        QByteArray name, value;
        QString error;
        EXPECT_EQ(ParseHeader(r.text, name, value, error), r.ok) << r.text;
        if (r.ok) { EXPECT_TRUE(name == r.name && value == r.value) << r.text; }
    }
}

TEST(CliParse, DatumsByEitherSpellingAndBackFromTheirNames) {
    const std::pair<const char*, Datum> rows[] = {{"wgs84", Datum::Wgs84}, {"WGS-84", Datum::Wgs84}, {"gcj02", Datum::Gcj02},
                                                  {"GCJ-02", Datum::Gcj02}, {"bd09", Datum::Bd09},   {"bd-09", Datum::Bd09}};
    for (const auto& [text, datum] : rows) {
        Datum d = Datum::Wgs84, back = Datum::Wgs84;
        QString error;
        EXPECT_TRUE(ParseDatum(text, d, error) && ParseDatum(DatumName(d), back, error)) << text;
        EXPECT_EQ(d, datum) << text;
        EXPECT_EQ(back, d) << text;
    }
    Datum d = Datum::Wgs84;
    QString error;
    for (const char* text : {"cgcs2000", ""}) EXPECT_FALSE(ParseDatum(text, d, error)) << text;
}

TEST(Region, GeoJsonForms) {
    QByteArray nested = R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1]]]})";
    for (int i = 0; i < 200; ++i) nested = R"({"type":"Feature","geometry":)" + nested + "}";
    struct Row {
        const char* json;
        int polygons;  // -1: refused
    };
    const Row rows[] = {
        {R"({"type":"Polygon","coordinates":[[[116,39],[117,39],[117,40],[116,39]]]})", 1},
        // Holes are not kept: only the outer ring counts.
        {R"({"type":"Polygon","coordinates":[[[0,0],[4,0],[4,4],[0,4],[0,0]],[[1,1],[2,1],[2,2],[1,1]]]})", 1},
        {R"({"type":"MultiPolygon","coordinates":[[[[0,0],[1,0],[1,1]]],[[[5,5],[6,5],[6,6]]]]})", 2},
        {R"({"type":"Feature","properties":{},"geometry":{"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1]]]}})", 1},
        {R"({"type":"FeatureCollection","features":[
              {"type":"Feature","geometry":{"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1]]]}},
              {"type":"Feature","geometry":{"type":"MultiPolygon","coordinates":[[[[2,2],[3,2],[3,3]]]]}}]})", 2},
        {R"({"type":"GeometryCollection","geometries":[{"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1]]]}]})", 1},
        // Positions with a height are fine.
        {R"({"type":"Polygon","coordinates":[[[0,0,5],[1,0,5],[1,1,5]]]})", 1},
        // Refused: damaged or hostile input.
        {R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[0,0]]]})", -1},            // two distinct points
        {R"({"type":"Polygon","coordinates":[]})", -1},                                // no ring
        {R"({"type":"Polygon","coordinates":[[[0,0],[1,0],["a",1]]]})", -1},           // text coordinate
        {R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[1]]]})", -1},               // short position
        {R"({"type":"Polygon","coordinates":[[[0,0],[181,0],[1,1]]]})", -1},           // beyond 180
        {R"({"type":"Polygon","coordinates":[[[0,0],[1,-91],[1,1]]]})", -1},           // beyond the pole
        {R"({"type":"Point","coordinates":[1,2]})", -1},                                // no polygon type
        {R"({"type":"FeatureCollection","features":[]})", -1},                          // nothing inside
        {R"({"type":"FeatureCollection","features":[1]})", -1},
        {R"({"type":"Feature","geometry":null})", -1},
        {R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1]]])", -1},              // truncated text
        {R"([1,2,3])", -1},                                                             // not an object
        {"", -1},
        {nested.constData(), -1},  // nested far too deep
    };
    for (const Row& r : rows) {
        QList<QPolygonF> polygons;
        QString error;
        const bool ok = ParseGeoJsonPolygons(QByteArray(r.json), polygons, error);
        EXPECT_EQ(ok ? polygons.size() : -1, r.polygons) << r.json << " " << qPrintable(error);
        EXPECT_EQ(error.isEmpty(), ok) << r.json;
    }
}

// Exactly one way of naming a region; sheets and GeoJSON files become polygons and their bounds.
TEST(Region, LoadRegionFromSheetsAndGeoJsonFiles) {
    QTemporaryDir dir;
    const QString file = dir.filePath("r.geojson");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(R"({"type":"Polygon","coordinates":[[[116,39],[117,39],[117,40],[116,40],[116,39]]]})") > 0);
    f.close();
    struct Row {
        QString extent, geoJsonFile, sheets;
        int polygons;  // -1: refused
        EXTENT bounds;
    };
    const Row rows[] = {
        {"", "", "", -1, {}},                              // no way at all
        {"0,0,1,1", "", "J50", -1, {}},                    // two ways
        {"", "", "J50, j51", 2, {114, 36, 126, 40}},       // blanks and lower case are accepted
        {"", "", "J50,J61", -1, {}},                       // column 61 does not exist
        {"", file, "", 1, {116, 39, 117, 40}},
        {"", dir.filePath("absent.geojson"), "", -1, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(qPrintable(r.extent + r.geoJsonFile + r.sheets));
        RegionOptions o;
        o.extent = r.extent;
        o.geoJsonFile = r.geoJsonFile;
        o.sheets = r.sheets;
        Region region;
        QString error;
        ASSERT_EQ(LoadRegion(o, region, error), r.polygons >= 0) << qPrintable(error);
        if (r.polygons < 0) {
            EXPECT_FALSE(error.isEmpty());
            if (r.sheets.contains("J61")) { EXPECT_TRUE(error.contains("J61")) << qPrintable(error); }
            continue;
        }
        ASSERT_EQ(region.polygons.size(), r.polygons);
        EXPECT_EQ(region.polygons[0].size(), 4);
        const double got[] = {region.extent.minx, region.extent.miny, region.extent.maxx, region.extent.maxy};
        const double want[] = {r.bounds.minx, r.bounds.miny, r.bounds.maxx, r.bounds.maxy};
        for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(got[i], want[i]) << i;
    }
}

TEST(Region, DatumConversionsRoundTripInChinaAndLeaveOtherPlacesAlone) {
    const QPointF beijing(116.391, 39.907);
    const Datum datums[] = {Datum::Wgs84, Datum::Gcj02, Datum::Bd09};
    for (Datum from : datums)
        for (Datum to : datums) {
            const QPointF there = ConvertPoint(beijing, from, to);
            EXPECT_EQ(MetresBetween(there, beijing) > 100.0, from != to) << DatumName(from) << "->" << DatumName(to);
            // The inverse GCJ-02 step is a one-shot approximation: a few metres.
            EXPECT_LT(MetresBetween(ConvertPoint(there, to, from), beijing), 10.0) << DatumName(from) << "->" << DatumName(to);
        }
    const QPointF paris(2.35, 48.85);
    EXPECT_EQ(ConvertPoint(paris, Datum::Wgs84, Datum::Gcj02), paris);
}

TEST(Region, ConvertedExtentHoldsEveryShiftedPointOfTheOriginal) {
    Region r;
    r.extent = EXTENT{115.7, 39.4, 117.4, 41.1};
    const Region g = ConvertRegion(r, Datum::Wgs84, Datum::Gcj02);
    // GCJ-02 moves Beijing a few hundred metres east and north.
    EXPECT_GT(g.extent.minx, r.extent.minx);
    EXPECT_GT(g.extent.maxy, r.extent.maxy);
    for (int i = 0; i <= 50; ++i)
        for (int j = 0; j <= 50; ++j) {
            const QPointF q = ConvertPoint(QPointF(115.7 + 1.7 * i / 50, 39.4 + 1.7 * j / 50), Datum::Wgs84, Datum::Gcj02);
            EXPECT_TRUE(q.x() >= g.extent.minx - 1e-6 && q.x() <= g.extent.maxx + 1e-6 && q.y() >= g.extent.miny - 1e-6 &&
                        q.y() <= g.extent.maxy + 1e-6) << i << "," << j;
        }
    EXPECT_EQ(ConvertRegion(r, Datum::Bd09, Datum::Bd09).extent.minx, r.extent.minx);
}

TEST(GridTile, IsA256PngTellingNeighboursApart) {
    const QByteArray a = RenderGridTile(11, 1686, 775);
    ASSERT_FALSE(a.isEmpty());
    EXPECT_TRUE(LooksLikeImage(a));
    EXPECT_EQ(TileFormat(a), QStringLiteral("png"));
    const QImage img = QImage::fromData(a, "PNG");
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(256, 256));
    // Same tile, same bytes: the grid needs no fonts and renders identically everywhere.
    EXPECT_EQ(RenderGridTile(11, 1686, 775), a);
    // Each neighbour and the same numbers at another zoom differ.
    EXPECT_NE(RenderGridTile(11, 1687, 775), a);
    EXPECT_NE(RenderGridTile(11, 1686, 776), a);
    EXPECT_NE(RenderGridTile(12, 1686, 775), a);
    // The deepest zoom's widest numbers still render.
    EXPECT_TRUE(LooksLikeImage(RenderGridTile(22, 4194303, 4194303)));
    EXPECT_TRUE(RenderGridTile(-1, 0, 0).isEmpty());
    EXPECT_TRUE(RenderGridTile(0, -1, 0).isEmpty());
}

TEST(LooksLikeImage, CompleteImagesOnly) {
    const QByteArray png = RenderGridTile(3, 2, 1);
    QImage jpgImage(8, 8, QImage::Format_RGB32);
    jpgImage.fill(Qt::red);
    QByteArray jpg;
    {
        QBuffer b(&jpg);
        b.open(QIODevice::WriteOnly);
        ASSERT_TRUE(jpgImage.save(&b, "JPG"));
    }
    QByteArray webp("RIFF\x08\x00\x00\x00WEBPVP8 ", 16);  // RIFF size = length - 8
    QByteArray webpShort = webp;
    webpShort[4] = '\x10';  // announces more than it holds
    struct Row {
        QByteArray bytes;
        bool image;
        const char* why;
    };
    const Row rows[] = {
        {png, true, "png"},
        {jpg, true, "jpeg"},
        {webp, true, "webp"},
        {QByteArray("GIF89a....;"), true, "gif"},
        {png.left(png.size() - 1), false, "png cut short"},
        {png.left(png.size() / 2), false, "png cut in half"},
        {jpg.left(jpg.size() - 2), false, "jpeg without its end marker"},
        {webpShort, false, "webp shorter than its header says"},
        {QByteArray("<html>not found</html>"), false, "error page"},
        {QByteArray(), false, "empty"},
        {QByteArray("\x89PNG"), false, "signature only"},
    };
    for (const Row& r : rows) EXPECT_EQ(LooksLikeImage(r.bytes), r.image) << r.why;
}

TEST(RateLimiter, SpacesStartsOneIntervalApart) {
    CRateLimiter limiter(4.0);  // one start every 250 ms
    const Clock::time_point t0 = Clock::now();
    // Three callers at the same instant get 0, 250 and 500 ms.
    EXPECT_EQ(limiter.Reserve(t0), t0);
    EXPECT_EQ(limiter.Reserve(t0), t0 + milliseconds(250));
    EXPECT_EQ(limiter.Reserve(t0), t0 + milliseconds(500));
    // A caller after a long idle spell starts at once, and the idle time is not banked.
    const Clock::time_point later = t0 + milliseconds(10000);
    EXPECT_EQ(limiter.Reserve(later), later);
    EXPECT_EQ(limiter.Reserve(later), later + milliseconds(250));
    // Zero, negative and non-finite rates mean no limit.
    for (double rate : {0.0, -5.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        CRateLimiter unlimited(rate);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(unlimited.Reserve(t0), t0) << rate;
    }
}

TEST(RateLimiter, ManyThreadsGetDistinctEvenlySpacedStarts) {
    CRateLimiter limiter(1000.0);  // 1 ms apart
    const Clock::time_point t0 = Clock::now();
    constexpr int kThreads = 16;
    constexpr int kEach = 200;
    std::vector<std::vector<Clock::time_point>> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) got[t].push_back(limiter.Reserve(t0));
        });
    for (auto& th : threads) th.join();
    std::vector<Clock::time_point> all;
    for (const auto& g : got) all.insert(all.end(), g.begin(), g.end());
    std::sort(all.begin(), all.end());
    ASSERT_EQ(all.size(), size_t(kThreads * kEach));
    for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i], t0 + milliseconds(long(i))) << i;
}

TEST(RateLimiter, BackoffDoublesUpToTheCap) {
    struct Row {
        int retry, base, cap, expected;
    };
    const Row rows[] = {
        {0, 250, 8000, 0},             // no retry, no delay
        {-3, 250, 8000, 0},
        {1, 250, 8000, 250},           // first retry waits the base
        {2, 250, 8000, 500},
        {5, 250, 8000, 4000},
        {6, 250, 8000, 8000},          // reaches the cap exactly
        {7, 250, 8000, 8000},
        {1000, 250, 8000, 8000},       // no overflow however many retries
        {3, 0, 8000, 0},               // no base, no delay
        {4, 300, 1000, 1000},          // 2400 capped
        {31, 2000000000, 2147483647, 2147483647},
    };
    for (const Row& r : rows) EXPECT_EQ(BackoffDelayMs(r.retry, r.base, r.cap), r.expected) << r.retry << " " << r.base;
}
