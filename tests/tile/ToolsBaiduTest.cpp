#include "core/Tools.h"
#include "core/Whole.h"
#include "tile/BaiduToConvert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

constexpr double kPi = 3.14159265358979323846;

double Metres(const QPointF& a, const QPointF& b)
{
    const double k = 6378137.0 * kPi / 180.0;
    return std::hypot((a.x() - b.x()) * k * std::cos(a.y() * kPi / 180.0), (a.y() - b.y()) * k);
}

// The general grid's frame of a BD-09 point in closed form: the application lays Baidu zoom z over
// general level z + 1 tile for tile, so the whole general grid spans Baidu's zoom-0 tile,
// 256 pixels of 2^18 metres. Baidu metres / 2^26 are therefore the frame's normalised Mercator units.
QPointF FrameByFormula(const QPointF& bd)
{
    const QPointF m = CBaiduToConvert::BdLngLatToMercator(bd);
    const double world = 256.0 * 262144.0;
    return QPointF(Tools::getL(m.x() / world), Tools::getB(m.y() / world));
}

std::vector<QPointF> ChinaPoints(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> lon(73.5, 134.5);
    std::uniform_real_distribution<double> lat(18.2, 53.5);
    std::vector<QPointF> pts;
    for (int i = 0; i < count; ++i) pts.emplace_back(lon(rng), lat(rng));
    return pts;
}

// Frame distances are measured in the frame's own metres (Web Mercator on the general grid).
double FrameMetres(const QPointF& a, const QPointF& b)
{
    const double R = 6378137.0;
    const auto y = [](double lat) { return std::log(std::tan(kPi / 4 + lat * kPi / 360)); };
    return std::hypot((a.x() - b.x()) * kPi / 180 * R, (y(a.y()) - y(b.y())) * R);
}

}  // namespace

// BD-09 -> the application's WGS84 frame by tile interpolation, against the same mapping in closed
// form through the Baidu projection: they must agree to a millimetre anywhere in China.
TEST(ToolsBaidu, TileInterpolationAgreesWithTheClosedForm)
{
    double worst = 0.0;
    for (const QPointF& bd : ChinaPoints(3000, 11)) {
        const QPointF byTile = Tools::bdToWGS84ByPoint(bd.x(), bd.y(), 20);
        worst = std::max(worst, FrameMetres(byTile, FrameByFormula(bd)));
        EXPECT_EQ(ConvertBDTo84(bd), byTile);
        EXPECT_EQ(CBaiduToConvert::BdToWGS84PointF(bd, 20, 44), byTile);
    }
    EXPECT_LT(worst, 0.001);
}

TEST(ToolsBaidu, WgsToBdUndoesBdToWgsWithinCentimetres)
{
    double worst = 0.0;
    for (const QPointF& bd : ChinaPoints(3000, 12)) {
        const QPointF frame = Tools::bdToWGS84ByPoint(bd.x(), bd.y(), 20);
        const QPointF back = Tools::wgs84ToBd09ByPos(frame, 20);
        worst = std::max(worst, Metres(bd, back));
        EXPECT_EQ(Convert84ToBD(frame), back);
        EXPECT_EQ(CBaiduToConvert::WGS84ToBdPointF(frame), back);
    }
    EXPECT_LT(worst, 0.3);  // the projection tables' fit error; the interpolation adds millimetres
}

TEST(ToolsBaidu, WgsToBdMirrorsTheHemispheres)
{
    for (const QPointF& p : {QPointF(70.3, 25.1), QPointF(0.2, 0.3), QPointF(150.0, 60.0)}) {
        const QPointF ne = Tools::wgs84ToBd09ByPos(p, 20);
        EXPECT_EQ(Tools::wgs84ToBd09ByPos(QPointF(-p.x(), p.y()), 20), QPointF(-ne.x(), ne.y()));
        EXPECT_EQ(Tools::wgs84ToBd09ByPos(QPointF(p.x(), -p.y()), 20), QPointF(ne.x(), -ne.y()));
        EXPECT_EQ(Tools::wgs84ToBd09ByPos(QPointF(-p.x(), -p.y()), 20), QPointF(-ne.x(), -ne.y()));
    }
    // Beyond the Mercator limit the latitude is held there.
    EXPECT_EQ(Tools::wgs84ToBd09ByPos(QPointF(10, 89), 20), Tools::wgs84ToBd09ByPos(QPointF(10, 85.05112877980655), 20));
}

TEST(ToolsBaidu, ClampsAndFailureValues)
{
    // BD -> WGS clamps the latitude to 83.5 and the longitude to 180.
    EXPECT_EQ(Tools::bdToWGS84ByPoint(100, 89.0, 20), Tools::bdToWGS84ByPoint(100, 83.5, 20));
    EXPECT_EQ(Tools::bdToWGS84ByPoint(300, 10.0, 20), Tools::bdToWGS84ByPoint(180, 10.0, 20));
    // No Baidu tile at level 1: the failure value.
    EXPECT_EQ(Tools::wgs84ToBd09ByPos(QPointF(116, 40), 1), QPointF(0, 0));
    // Points without a quadrant and odd levels produce numbers, not crashes.
    for (int level : {-3, 0, 1, 2, 21, 40}) {
        const QPointF a = Tools::bdToWGS84ByPoint(-10.0, 0.0, level);
        const QPointF b = Tools::wgs84ToBd09ByPos(QPointF(-10.0, 0.0), level);
        EXPECT_FALSE(std::isnan(a.x()) && std::isnan(b.x())) << level;
    }
    // Non-finite input stays defined.
    Tools::bdToWGS84ByPoint(std::nan(""), std::nan(""), 20);
    Tools::wgs84ToBd09ByPos(QPointF(std::nan(""), INFINITY), 20);
}

TEST(ToolsBaidu, ExtentAndPointListsConvertEveryCorner)
{
    EXTENT e{100.0, 20.0, 110.0, 30.0};
    Tools::wgs84ToBdExtent(e);
    EXPECT_EQ(QPointF(e.minx, e.miny), Tools::wgs84ToBd09ByPos(QPointF(100, 20), 20));
    EXPECT_EQ(QPointF(e.maxx, e.maxy), Tools::wgs84ToBd09ByPos(QPointF(110, 30), 20));

    const QList<QPointF> pts = {QPointF(116.4, 39.9), QPointF(121.5, 31.2), QPointF(-70, 40)};
    EXPECT_EQ(CBaiduToConvert::BdToWGS84Points(pts, 20, 1), pts);  // not a Baidu map type
    const QList<QPointF> converted = CBaiduToConvert::BdToWGS84Points(pts, 20, 44);
    ASSERT_EQ(converted.size(), pts.size());
    for (int i = 0; i < pts.size(); ++i)
        EXPECT_EQ(converted[i], CBaiduToConvert::BdToWGS84PointF(pts[i], 20, 44));
}

// The view position of a point, at the current level, gives the same BD-09 as the interpolation of
// that level whatever the view's scale and offset.
TEST(ToolsBaidu, ViewPositionsInterpolateAtTheCurrentLevel)
{
    const int saved = Whole::m_nCurLevel;
    Whole::m_nCurLevel = 15;
    const double tileUnits = std::ldexp(1.0, -14);  // one tile of level 15 in normalised units
    const QPointF p(70.25, 25.125);
    const QPointF expected = Tools::wgs84ToBd09ByPos(p, 15);
    for (double pixelsPerTile : {256.0, 300.0, 97.5}) {
        const CExtent world(0.19, 0.07, 0.20, 0.08);
        const double scale = pixelsPerTile / tileUnits;
        const QPointF bd = Tools::getBdCoordByPos(world, scale, 900, p, 44);
        EXPECT_LT(Metres(bd, expected), 0.01) << pixelsPerTile;
        const QList<QPointF> list = CBaiduToConvert::getBdCoordByPoints(world, scale, 900, {p, p}, 44);
        ASSERT_EQ(list.size(), 2);
        EXPECT_EQ(list[1], bd);
    }
    // A WGS84 view (world in degrees) of the same point.
    const double degreesPerTile = 360.0 * tileUnits;
    const QPointF wgsView =
        Tools::getBdCoordByPos(CExtent(60, 20, 80, 30), 256.0 / degreesPerTile, 900, p, 5);
    EXPECT_LT(Metres(wgsView, expected), 1.0);  // the tile is not square in degrees: a linear view of it
    // No view, or no Baidu tile: the failure value.
    EXPECT_EQ(Tools::getBdCoordByPos(CExtent(0, 0, 1, 1), 0.0, 900, p, 44), QPointF(0, 0));
    Whole::m_nCurLevel = 1;
    EXPECT_EQ(Tools::getBdCoordByPos(CExtent(0, 0, 1, 1), 1000.0, 900, p, 44), QPointF(0, 0));
    Whole::m_nCurLevel = saved;
}
