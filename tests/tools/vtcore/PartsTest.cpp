// The tool's parts on their own: argument parsers, regions and datums, the grid tile, the check for
// complete images and the rate limiter.
#include "tools/vtcore/CliParse.h"
#include "tools/vtcore/Downloader.h"
#include "tools/vtcore/GridTile.h"
#include "tools/vtcore/RateLimiter.h"
#include "tools/vtcore/Region.h"
#include "tools/vtcore/TileExport.h"
#include "VtcoreTestSupport.h"

#include <QBuffer>
#include <QImage>
#include <QLineF>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <thread>
#include <vector>

using namespace VtCli;
using Clock = CRateLimiter::Clock;
using std::chrono::milliseconds;

// Each row: a parser, a text and what it reads written back as text; empty when the text is refused,
// then with a reason (and only then).
TEST(CliParse, LevelsExtentsHeadersAndDatums) {
    enum Parser { Levels, Extent, Header, DatumText };
    const auto parse = [](Parser parser, const QString& text, QString& error) -> QString {
        QList<int> levels;
        EXTENT e{0, 0, 0, 0};
        QByteArray name, value;
        Datum d = Datum::Wgs84;
        switch (parser) {
        case Levels: return ParseLevels(text, 1, 23, levels, error) ? FormatLevels(levels) : QString();
        case Extent:
            if (!ParseExtent(text, e, error)) return QString();
            return QStringLiteral("%1,%2,%3,%4").arg(e.minx, 0, 'g', 16).arg(e.miny, 0, 'g', 16).arg(e.maxx, 0, 'g', 16).arg(e.maxy, 0, 'g', 16);
        case Header: return ParseHeader(text, name, value, error) ? QString(name + "=" + value) : QString();
        case DatumText: return ParseDatum(text, d, error) ? QString(DatumName(d)) : QString();
        }
        return QString();
    };
    const std::tuple<Parser, const char*, const char*> rows[] = {
        {Levels, "7-9,3,5,8", "3,5,7-9"},      // sorted, duplicates merged
        {Levels, " 2 , 4-4 ", "2,4"},           // blanks and one-level ranges
        {Levels, "1-23", "1-23"},               // the deepest level is allowed
        {Levels, "0", ""},                      // levels are one-based
        {Levels, "24", ""},                     // deeper than a depository holds
        {Levels, "5-3", ""},                    // backwards
        {Levels, "3,", ""},                     // empty part
        {Levels, "2-x", ""},
        {Extent, " -1.5, -2 ,3,4.25", "-1.5,-2,3,4.25"},     // blanks around the numbers
        {Extent, "-180,-90,180,90", "-180,-90,180,90"},      // the whole world, borders included
        {Extent, "10,10,10,10", "10,10,10,10"},              // a point
        {Extent, "180.0001,0,180,1", ""},   // beyond the antimeridian
        {Extent, "0,-90.5,1,1", ""},        // beyond the pole
        {Extent, "2,0,1,1", ""},            // west of its own west edge
        {Extent, "0,2,1,1", ""},            // south above north
        {Extent, "0,0,1", ""},              // three numbers
        {Extent, "0,0,1,1,1", ""},          // five
        {Extent, "nan,0,1,1", ""},
        {Extent, "a,b,c,d", ""},
        {Header, "Referer: https://example.test/", "Referer=https://example.test/"},
        {Header, "X-Key:abc:def", "X-Key=abc:def"},  // only the first colon separates
        {Header, "X-09AZaz: v", "X-09AZaz=v"},       // digits and letters at both ends of their ranges
        {Header, "Empty:", "Empty="},
        {Header, ": value", ""},                     // no name
        {Header, "Bad Name: v", ""},                 // blank inside the name
        {Header, "X: a\r\nInjected: b", ""},         // a second header smuggled in
        {Header, "X: a\nb", ""},
        {DatumText, "WGS-84", "wgs84"},
        {DatumText, "GCJ-02", "gcj02"},
        {DatumText, "bd-09", "bd09"},
        {DatumText, "cgcs2000", ""},
    };
    for (const auto& [parser, text, expected] : rows) {
        QString error;
        EXPECT_EQ(parse(parser, text, error), QString(expected)) << parser << " " << text;
        EXPECT_EQ(error.isEmpty(), *expected != 0) << parser << " " << text;
    }
}

TEST(Region, GeoJsonForms) {
    QByteArray nested = R"({"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1]]]})";
    for (int i = 0; i < 200; ++i) nested = R"({"type":"Feature","geometry":)" + nested + "}";
    struct Row { const char* json; int polygons; };  // polygons -1: refused
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
    ASSERT_TRUE(VtTest::WriteFile(file, R"({"type":"Polygon","coordinates":[[[116,39],[117,39],[117,40],[116,40],[116,39]]]})"));
    struct Row { QString extent, geoJsonFile, sheets; int polygons; EXTENT bounds; };  // polygons -1: refused
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
        const EXTENT& e = region.extent;
        EXPECT_TRUE(e.minx == r.bounds.minx && e.miny == r.bounds.miny && e.maxx == r.bounds.maxx && e.maxy == r.bounds.maxy);
    }
}

TEST(Region, DatumConversionsRoundTripInChinaAndLeaveOtherPlacesAlone) {
    const QPointF beijing(116.391, 39.907);
    const Datum datums[] = {Datum::Wgs84, Datum::Gcj02, Datum::Bd09};
    for (Datum from : datums)
        for (Datum to : datums) {
            const QPointF there = ConvertPoint(beijing, from, to);
            // Moved by hundreds of metres (0.001 degrees is some 100 m); the inverse GCJ-02 step is a
            // one-shot approximation, back within some 10 m.
            EXPECT_EQ(QLineF(there, beijing).length() > 0.001, from != to) << DatumName(from) << "->" << DatumName(to);
            EXPECT_LT(QLineF(ConvertPoint(there, to, from), beijing).length(), 1e-4) << DatumName(from) << "->" << DatumName(to);
        }
    const QPointF paris(2.35, 48.85);
    EXPECT_EQ(ConvertPoint(paris, Datum::Wgs84, Datum::Gcj02), paris);
    // A converted extent holds every shifted point of the original, not only its shifted corners.
    Region r;
    r.extent = EXTENT{115.7, 39.4, 117.4, 41.1};
    const EXTENT g = ConvertRegion(r, Datum::Wgs84, Datum::Gcj02).extent;
    for (int i = 0; i < 51 * 51; ++i) {
        const QPointF q = ConvertPoint(QPointF(115.7 + 1.7 * (i % 51) / 50, 39.4 + 1.7 * (i / 51) / 50), Datum::Wgs84, Datum::Gcj02);
        EXPECT_TRUE(q.x() >= g.minx - 1e-6 && q.x() <= g.maxx + 1e-6 && q.y() >= g.miny - 1e-6 && q.y() <= g.maxy + 1e-6) << i;
    }
}

TEST(GridTile, IsA256PngTellingNeighboursApart) {
    const QByteArray a = RenderGridTile(11, 1686, 775);
    EXPECT_EQ(TileFormat(a), QStringLiteral("png"));
    EXPECT_EQ(QImage::fromData(a, "PNG").size(), QSize(256, 256));
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
    QByteArray jpg;
    QBuffer b(&jpg);
    ASSERT_TRUE(b.open(QIODevice::WriteOnly) && QImage::fromData(png).save(&b, "JPG"));
    QByteArray webp("RIFF\x08\x00\x00\x00WEBPVP8 ", 16);  // RIFF size = length - 8
    QByteArray webpShort = webp;
    webpShort[4] = '\x10';  // announces more than it holds
    struct Row { QByteArray bytes; bool image; const char* why; };
    const Row rows[] = {
        {png, true, "png"},
        {jpg, true, "jpeg"},
        {webp, true, "webp"},
        {QByteArray("GIF89a....;"), true, "gif"},
        {png.left(png.size() - 1), false, "png cut short"},
        {jpg.left(jpg.size() - 2), false, "jpeg without its end marker"},
        {webpShort, false, "webp shorter than its header says"},
        {QByteArray("<html>not found</html>"), false, "error page"},
        {QByteArray(), false, "empty"},
    };
    for (const Row& r : rows) EXPECT_EQ(LooksLikeImage(r.bytes), r.image) << r.why;
}

TEST(RateLimiter, ManyThreadsGetDistinctEvenlySpacedStartsAndIdleTimeIsNotBanked) {
    CRateLimiter limiter(1000.0);  // 1 ms apart
    const Clock::time_point t0 = Clock::now();
    constexpr int kThreads = 16, kEach = 200;
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
    // One start every 250 ms: a caller after a long idle spell starts at once, the next one interval later.
    CRateLimiter slow(4.0);
    const Clock::time_point later = t0 + milliseconds(10000);
    EXPECT_EQ(slow.Reserve(t0), t0);
    EXPECT_EQ(slow.Reserve(later), later);
    EXPECT_EQ(slow.Reserve(later), later + milliseconds(250));
    // Zero, negative and non-finite rates mean no limit.
    for (double rate : {0.0, -5.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        CRateLimiter unlimited(rate);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(unlimited.Reserve(t0), t0) << rate;
    }
}

TEST(RateLimiter, BackoffDoublesUpToTheCap) {
    struct Row { int retry, base, cap, expected; };
    const Row rows[] = {
        {0, 250, 8000, 0},             // no retry, no delay
        {1, 250, 8000, 250},           // first retry waits the base
        {5, 250, 8000, 4000},
        {6, 250, 8000, 8000},          // reaches the cap exactly
        {1000, 250, 8000, 8000},       // no overflow however many retries
        {3, 0, 8000, 0},               // no base, no delay
        {4, 300, 1000, 1000},          // 2400 capped
        {31, 2000000000, 2147483647, 2147483647},
    };
    for (const Row& r : rows) EXPECT_EQ(BackoffDelayMs(r.retry, r.base, r.cap), r.expected) << r.retry << " " << r.base;
}
