#include "storage/MapSheetModel.h"

#include "core/Tools.h"
#include "core/log/VtLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

namespace {

QString Name(const CMapSheetModel& m, const CMapSheet& s, bool noHemisphere = false) {
    QString out;
    m.GetStringFromMapSheet(out, s, noHemisphere);
    return out;
}

CMapSheet Parse(const CMapSheetModel& m, const char* name) {
    CMapSheet s;
    m.GetMapSheetFromString(s, QString::fromUtf8(name));
    return s;
}

void ExpectEdgesNear(const QRectF& got, const QRectF& expected, const char* what) {
    for (auto edge : {&QRectF::left, &QRectF::top, &QRectF::right, &QRectF::bottom}) EXPECT_NEAR((got.*edge)(), (expected.*edge)(), 1e-9) << what;
}

struct CCollect : CMapSheetModel::CMapSheetVisitor {
    explicit CCollect(int stop = -1) : stopAfter(stop) {}
    bool Visit(const QString& name, const CMapSheet&) override { names << name; return stopAfter < 0 || names.size() < stopAfter; }
    QStringList names;
    int stopAfter;
};

}  // namespace

TEST(MapSheetModel, SheetsOfKnownAndRandomPoints) {
    CMapSheetModel m;
    struct Row { double lon, lat; ENUM_MAPSHEET scale; const char* name; } rows[] = {
        {116.4, 39.9, MAPSHEET_1M, "NJ50"},           {116.4, 39.9, MAPSHEET_500K, "NJ50B001001"},
        {116.4, 39.9, MAPSHEET_100K, "NJ50D001005"},  {116.4, 39.9, MAPSHEET_10K, "NJ50G003039"},
        {116.4, 39.9, MAPSHEET_1K, "NJ50J00290461"},  {116.4, 39.9, MAPSHEET_500, "NJ50K00580922"},
        {-43.2, -22.9, MAPSHEET_1M, "SF23"},
        {-73.9, 40.7, MAPSHEET_100K, "NK18D010009"},  {151.2, -33.9, MAPSHEET_50K, "SI56E013005"},
        {-58.4, -34.6, MAPSHEET_500, "SI21K08070615"},
        // The limits: the east and north borders belong to the last sheets inside them.
        {180, 88, MAPSHEET_1M, "NV60"},               {-180, -88, MAPSHEET_500K, "SV01B001001"},
        {500, -100, MAPSHEET_500K, "SV60B001002"},    {0, 0, MAPSHEET_500K, "NA31B002001"},
        // Inner sheet lines go away from the meridian and the equator: west and south here.
        {-3, 2, MAPSHEET_500K, "NA30B001001"},        {3, -2, MAPSHEET_500K, "SA31B001002"},
        {3, 2, MAPSHEET_500K, "NA31B001002"},
        // On 1:1,000,000 borders in the west and south the count names no sheet the point is on.
        {-6, -4, MAPSHEET_500K, "SA30B001001"},
    };
    for (const Row& r : rows) {
        const CMapSheet s = m.GetMapSheetFromPoint(r.scale, QPointF(r.lon, r.lat), false);
        const QPointF clamped(std::clamp(r.lon, -180.0, 180.0), std::clamp(r.lat, -88.0, 88.0));
        EXPECT_TRUE(s.m_bValid && s.m_rect.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(clamped)) << r.name;
        EXPECT_TRUE(Name(m, s).toStdString() == r.name && Name(m, s, true).toStdString() == r.name + 1) << r.name;
    }

    // Random points: the sheet holds the point, has the series' size, reads back from its name (also
    // without the hemisphere letter, read as northern), and its parent is the sheet one scale down.
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> lon(-180, 180), lat(-88, 88);
    for (int scale = 1; scale <= 11; ++scale) {
        double dlon = 0, dlat = 0;
        m.GetDelta(dlon, dlat, static_cast<ENUM_MAPSHEET>(scale));
        for (int i = 0; i < 200; ++i) {
            const QPointF p(lon(rng), lat(rng));
            const CMapSheet s = m.GetMapSheetFromPoint(static_cast<ENUM_MAPSHEET>(scale), p, true);
            const std::string name = Name(m, s).toStdString();
            ASSERT_TRUE(s.m_rect.contains(p)) << name;
            EXPECT_TRUE(std::fabs(s.m_rect.width() - dlon) < 1e-12 && std::fabs(s.m_rect.height() - dlat) < 1e-12);
            EXPECT_TRUE(Parse(m, name.c_str()) == s && (!s.m_bNorth || Parse(m, name.c_str() + 1) == s)) << name;
            if (scale == 1) continue;
            const CMapSheet parent = m.GetParentMapSheet(s);
            EXPECT_EQ(Name(m, parent), Name(m, m.GetMapSheetFromPoint(static_cast<ENUM_MAPSHEET>(scale - 1), p))) << name;
            EXPECT_TRUE(parent.m_rect.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(s.m_rect)) << name;
        }
    }
}

TEST(MapSheetModel, NameGrammarAndParents) {
    CMapSheetModel m;
    struct Row { const char* name; bool north; QRectF rect; } rows[] = {
        {"J50", true, QRectF(114, 36, 6, 4)},
        {"SJ50", false, QRectF(114, -40, 6, 4)},
        {"A01K23042304", true, QRectF(-180 + 6 - 1 / 384.0, 0, 1 / 384.0, 1 / 576.0)},
        {"NN50", true, QRectF(114, 52, 6, 4)},  // the prefix, then band N
    };
    for (const Row& r : rows) {
        const CMapSheet s = Parse(m, r.name);
        EXPECT_TRUE(s.m_bValid && s.m_bNorth == r.north) << r.name;
        ExpectEdgesNear(s.m_rect, r.rect, r.name);
    }
    // Columns 1 to 60, rows within the scale's count, bands A to V (88 degrees), upper-case ASCII,
    // three digits after B to I and four after J and K.
    for (const char* bad : {"J61", "J00", "J50B003001", "J50D013001", "J50K23052304", "XJ50", "W50", "j50",
                            "J50J001001", "J50B00010001", "J50A001001", "J50 ", "J50\n", "", "N", "SS", "J５０"}) {
        EXPECT_EQ(Parse(m, bad), CMapSheet()) << bad;  // cleared, not valid
    }
    EXPECT_TRUE(m.IsMapSheet("nj50b001001") && !m.IsMapSheet("xj50"));
    QVector<CMapSheet> parsed;
    m.GetMultiMapSheetFromStringList(parsed, {"J50", "J61", "SA01"});
    ASSERT_TRUE(parsed.size() == 3 && parsed[0].m_bValid && !parsed[1].m_bValid && !parsed[2].m_bNorth);
    // Names come from the fields, valid or not.
    EXPECT_EQ(Name(m, CMapSheet()), QStringLiteral("N") + QChar(0) + QStringLiteral("00"));
    CMapSheet unchecked = Parse(m, "SJ50B001002");
    unchecked.m_bValid = false;
    EXPECT_EQ(Name(m, unchecked), QStringLiteral("SJ50B001002"));
    // Parents of the other scales are checked on random sheets; these two have none.
    EXPECT_FALSE(m.GetParentMapSheet(Parse(m, "J50")).m_bValid || m.GetParentMapSheet(Parse(m, "J61")).m_bValid);
}

// Scales out of the series: the fall-back sizes and a warning.
TEST(MapSheetModel, LevelsAndScalesOutsideTheSeries) {
    CMapSheetModel m;
    const int expected[] = {2, 1, 1, 1, 1, 1, 2, 3, 3, 4, 5, 6, 7, 8, 9, 9, 10, 11, 11, 11, 11, 11, 11, 11, 2};
    for (int level = 0; level <= 24; ++level) EXPECT_EQ(m.GetMapSheetFromLevel(level), expected[level]) << level;
    EXPECT_EQ(m.GetMapSheetFromLevel(-3), MAPSHEET_500K);
    EXPECT_TRUE(Tools::getMapSheetDistance(MAPSHEET_500) == QPointF(1 / 384.0, 1 / 576.0) && Tools::GetMinShowTextLevel(MAPSHEET_1M) == 4);
    for (int scale : {0, 12, 13}) {
        const auto e = static_cast<ENUM_MAPSHEET>(scale);
        EXPECT_TRUE(Tools::getMapSheetDistance(e) == QPointF(6, 4) && Tools::GetMinShowTextLevel(e) == 16);
        double dlon = -1, dlat = -1;
        CVtLogCapture capture;
        m.GetDelta(dlon, dlat, e);
        EXPECT_TRUE(dlon == 0 && dlat == 0 && capture.Contains(VTLOG_LEVEL_WARN, "枚举错误，拒绝计算图幅行列号")) << scale;
        EXPECT_FALSE(m.GetMapSheetFromPoint(e, QPointF(116, 39)).m_bValid);
    }
}

TEST(MapSheetModel, ExpandedRectanglesCountsAndLists) {
    CMapSheetModel m;
    struct Row { ENUM_MAPSHEET scale; QRectF r, expanded; int count; } rows[] = {
        {MAPSHEET_1M, QRectF(96, 20, 12, 8), QRectF(96, 20, 12, 8), 4},    // aligned: 2 x 2
        {MAPSHEET_1M, QRectF(100, 21, 1, 1), QRectF(96, 20, 6, 4), 1},
        {MAPSHEET_1M, QRectF(96.0000001, 20, 11.9999998, 8), QRectF(96, 20, 12, 8), 4},  // within 1 ms of lines
        {MAPSHEET_500K, QRectF(-1, -1, 2, 2), QRectF(-3, -2, 6, 4), 4},    // across equator and meridian
        {MAPSHEET_100K, QRectF(116.2, 39.9, 0.4, 0.1), QRectF(116, 39.666666666666664, 1, 1 / 3.0), 2},
        {MAPSHEET_1M, QRectF(-200, -95, 500, 300), QRectF(-180, -88, 360, 176), 60 * 44},  // clamped
        {MAPSHEET_500, QRectF(-180, -88, 360, 176), QRectF(-180, -88, 360, 176), INT_MAX},  // saturates
    };
    for (const Row& r : rows) {
        ExpectEdgesNear(m.GetExpandRect(r.scale, r.r), r.expanded, "expanded");
        EXPECT_EQ(m.CalcMapSheetCountFromRect(r.scale, r.r), r.count);
    }
    for (int bad : {0, 12, -4}) EXPECT_EQ(m.CalcMapSheetCountFromRect(static_cast<ENUM_MAPSHEET>(bad), QRectF(0, 0, 1, 1)), -1);
    EXPECT_EQ(m.GetExtremum(QRectF(-190, -90, 100, 200)), QRectF(QPointF(-180, -88), QPointF(-90, 88)));

    // Lists and walks run west to east, then south to north.
    QVector<CMapSheet> sheets;
    sheets.append(CMapSheet());  // existing entries stay
    m.GetMapSheetFromRect(sheets, MAPSHEET_500K, QRectF(-1, -1, 2, 2));
    ASSERT_EQ(sheets.size(), 5);
    const char* order[] = {"SA30B002002", "NA30B002002", "SA31B002001", "NA31B002001"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Name(m, sheets[i + 1]).toStdString(), order[i]);
    EXPECT_EQ(sheets[1].m_rect, QRectF(-3, -2, 3, 2));
    CCollect all, firstThree(3);
    m.Travel(&all, MAPSHEET_500K, QRectF(-1, -1, 2, 2));
    EXPECT_EQ(all.names, QStringList({"A30B002002", "A30B002002", "A31B002001", "A31B002001"}));
    m.Travel(&firstThree, MAPSHEET_1M, QRectF(0, 0, 30, 30));
    EXPECT_EQ(firstThree.names, QStringList({"A31", "B31", "C31"}));
    m.Travel(nullptr, MAPSHEET_1M, QRectF(0, 0, 30, 30));
    // A list that would run to billions of entries is refused rather than exhausting memory.
    QVector<CMapSheet> none;
    m.GetMapSheetFromRect(none, MAPSHEET_500, QRectF(-180, -88, 360, 176));
    EXPECT_TRUE(none.isEmpty());
}

TEST(MapSheetModel, PolygonsSelectSheetsTheyShareAreaWith) {
    CMapSheetModel m;
    const QPolygonF j50 = QPolygonF(QRectF(114, 36, 6, 4));
    struct Row { const char* what; QPolygonF polygon; const char* sheet; bool meets; } rows[] = {
        {"inside", QPolygonF({{115, 37}, {116, 37}, {115, 38}}), "J50", true},
        {"sheet inside polygon", QPolygonF(QRectF(100, 30, 30, 20)), "J50", true},
        {"edge crossing", QPolygonF({{110, 38}, {115, 38.5}, {110, 39}}), "J50", true},
        {"same outline", j50, "J50", true},
        {"neighbour sharing a border", j50, "J51", false},
        {"neighbour sharing a corner", j50, "K51", false},
        {"concave notch misses", QPolygonF({{110, 30}, {130, 30}, {130, 50}, {121, 50}, {121, 31}, {113, 31}, {113, 50}, {110, 50}}), "J50", false},
        {"invalid name", QPolygonF(QRectF(100, 30, 30, 20)), "J61", false},
        {"empty polygon", QPolygonF(), "J50", false},
    };
    for (const Row& r : rows) EXPECT_EQ(m.Intersected(QString(r.sheet), r.polygon), r.meets) << r.what;

    // A region that is one sheet selects that sheet only; overlapping regions list a sheet once.
    QList<CMapSheet> found;
    m.GetMapSheetFromRange(found, MAPSHEET_1M, {j50});
    ASSERT_TRUE(found.size() == 1 && Name(m, found[0]) == "NJ50");
    // Its slanted edge crosses I51 and K50 but passes west of J51.
    const QPolygonF triangle({{113, 35}, {121, 35}, {113, 41}});
    const QPolygonF square = QPolygonF(QRectF(115, 37, 1, 1));
    found.clear();
    m.GetMapSheetFromRange(found, MAPSHEET_1M, {square, triangle});
    QStringList names;
    for (const CMapSheet& s : found) names << Name(m, s);
    EXPECT_EQ(names, QStringList({"NJ50", "NI49", "NJ49", "NK49", "NI50", "NK50", "NI51"}));
    EXPECT_TRUE(m.CalcMapSheetCountFromRange(MAPSHEET_1M, {square, triangle}, true) == 7 && m.CalcMapSheetCountFromRange(MAPSHEET_1M, {square, triangle}, false) == 9);
    EXPECT_TRUE(m.CalcMapSheetCountFromRange(MAPSHEET_1M, {}, false) == -1 &&
                m.CalcMapSheetCountFromRange(MAPSHEET_NONE, {square}, true) == -1);
}

TEST(MapSheetModel, ExternalRangeIsTheOutlineOfTheSheetsMet) {
    CMapSheetModel m;
    // The outline's bounds and its area in square degrees.
    struct Row { const char* what; ENUM_MAPSHEET scale; QPolygonF in; QRectF bounds; double area; } rows[] = {
        {"inside one sheet", MAPSHEET_1M, QPolygonF({{115, 37}, {116, 37}, {115, 38}}), QRectF(114, 36, 6, 4), 24},
        {"across two sheets", MAPSHEET_1M, QPolygonF(QRectF(118, 37, 4, 1)), QRectF(114, 36, 12, 4), 48},
        {"an L of three sheets", MAPSHEET_500K, QPolygonF({{114.5, 36.5}, {119.5, 36.5}, {114.5, 39}}),
         QRectF(114, 36, 6, 4), 18},
        {"southern and western", MAPSHEET_1M, QPolygonF(QRectF(-43, -23, 0.5, 0.5)), QRectF(-48, -24, 6, 4), 24},
    };
    for (const Row& r : rows) {
        QPolygonF out;
        out.append(QPointF(1, 2));  // appended to, not replaced
        m.GetExternalRange(out, r.scale, r.in);
        ASSERT_GT(out.size(), 4) << r.what;
        EXPECT_EQ(out[0], QPointF(1, 2));
        const QPolygonF outline = out.mid(1);
        ExpectEdgesNear(outline.boundingRect(), r.bounds, r.what);
        double area = 0;  // shoelace
        for (int i = 0; i < outline.size(); ++i) {
            const QPointF &u = outline[i], &v = outline[(i + 1) % outline.size()];
            area += u.x() * v.y() - v.x() * u.y();
        }
        EXPECT_NEAR(std::fabs(area) / 2, r.area, 1e-6) << r.what;
    }
    QPolygonF out;
    m.GetExternalRange(out, MAPSHEET_NONE, QPolygonF(QRectF(0, 0, 1, 1)));
    m.GetExternalRange(out, MAPSHEET_1M, QPolygonF());
    EXPECT_TRUE(out.isEmpty());
}
