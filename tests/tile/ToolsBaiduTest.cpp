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

}  // namespace

// BD-09 -> the application's WGS84 frame by tile interpolation, against the same mapping in closed
// form: the application lays Baidu zoom z over general level z + 1 tile for tile, so Baidu metres
// / 2^26 are the frame's normalised Mercator units. Back again within the tables' fit error.
TEST(ToolsBaidu, TileInterpolationAgreesWithTheClosedFormRoundTripsClampsAndViews)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> lon(73.5, 134.5), lat(18.2, 53.5);
    const auto y = [](double b) { return std::log(std::tan(kPi / 4 + b * kPi / 360)); };  // frame metres / R
    double worstFrame = 0.0, worstBack = 0.0;
    for (int i = 0; i < 2000; ++i) {
        const QPointF bd(lon(rng), lat(rng));
        const QPointF frame = Tools::bdToWGS84ByPoint(bd.x(), bd.y(), 20);
        const QPointF m = CBaiduToConvert::BdLngLatToMercator(bd) / (256.0 * 262144.0);
        const QPointF closed(Tools::getL(m.x()), Tools::getB(m.y()));
        worstFrame = std::max(worstFrame, 6378137.0 * std::hypot((frame.x() - closed.x()) * kPi / 180,
                                                                 y(frame.y()) - y(closed.y())));
        const QPointF back = Tools::wgs84ToBd09ByPos(frame, 20);
        worstBack = std::max(worstBack, Metres(bd, back));
        EXPECT_TRUE(ConvertBDTo84(bd) == frame && CBaiduToConvert::BdToWGS84PointF(bd, 20, 44) == frame);
        EXPECT_TRUE(Convert84ToBD(frame) == back && CBaiduToConvert::WGS84ToBdPointF(frame) == back);
    }
    // The projection tables' fit error; the interpolation adds millimetres.
    EXPECT_TRUE(worstFrame < 0.001 && worstBack < 0.3) << worstFrame << " " << worstBack;
    EXTENT e{100.0, 20.0, 110.0, 30.0};
    Tools::wgs84ToBdExtent(e);
    EXPECT_EQ(QPointF(e.minx, e.miny), Tools::wgs84ToBd09ByPos(QPointF(100, 20), 20));
    EXPECT_EQ(QPointF(e.maxx, e.maxy), Tools::wgs84ToBd09ByPos(QPointF(110, 30), 20));
    const QList<QPointF> pts = {QPointF(116.4, 39.9), QPointF(-70, 40)};
    EXPECT_EQ(CBaiduToConvert::BdToWGS84Points(pts, 20, 1), pts);  // not a Baidu map type
    EXPECT_EQ(CBaiduToConvert::BdToWGS84Points(pts, 20, 44),
              (QList<QPointF>{CBaiduToConvert::BdToWGS84PointF(pts[0], 20, 44),
                              CBaiduToConvert::BdToWGS84PointF(pts[1], 20, 44)}));
    // Hemispheres mirror; clamps and failure values.
    for (const QPointF& p : {QPointF(70.3, 25.1), QPointF(0.2, 0.3), QPointF(150.0, 60.0)}) {
        const QPointF ne = Tools::wgs84ToBd09ByPos(p, 20);
        EXPECT_EQ(Tools::wgs84ToBd09ByPos(QPointF(-p.x(), p.y()), 20), QPointF(-ne.x(), ne.y()));
        EXPECT_EQ(Tools::wgs84ToBd09ByPos(QPointF(-p.x(), -p.y()), 20), QPointF(-ne.x(), -ne.y()));
    }
    // Beyond the Mercator limit the latitude is held there; BD -> WGS clamps to 83.5 and 180.
    EXPECT_EQ(Tools::wgs84ToBd09ByPos(QPointF(10, 89), 20),
              Tools::wgs84ToBd09ByPos(QPointF(10, 85.05112877980655), 20));
    EXPECT_EQ(Tools::bdToWGS84ByPoint(100, 89.0, 20), Tools::bdToWGS84ByPoint(100, 83.5, 20));
    EXPECT_EQ(Tools::bdToWGS84ByPoint(300, 10.0, 20), Tools::bdToWGS84ByPoint(180, 10.0, 20));
    EXPECT_EQ(Tools::wgs84ToBd09ByPos(QPointF(116, 40), 1), QPointF(0, 0));  // no Baidu tile at level 1
    // Points without a quadrant, odd levels and non-finite input produce numbers, not crashes.
    for (int level : {-3, 0, 1, 2, 21, 40})
        Tools::bdToWGS84ByPoint(-10.0, 0.0, level), Tools::wgs84ToBd09ByPos(QPointF(-10.0, 0.0), level);
    Tools::bdToWGS84ByPoint(NAN, NAN, 20), Tools::wgs84ToBd09ByPos(QPointF(NAN, INFINITY), 20);
    // The view position of a point, at the current level, gives the same BD-09 as the interpolation of
    // that level whatever the view's scale and offset.
    const int saved = Whole::m_nCurLevel;
    Whole::m_nCurLevel = 15;
    const double tileUnits = std::ldexp(1.0, -14);  // one tile of level 15 in normalised units
    const QPointF p(70.25, 25.125);
    const QPointF expected = Tools::wgs84ToBd09ByPos(p, 15);
    for (double pixelsPerTile : {256.0, 97.5}) {
        const CExtent world(0.19, 0.07, 0.20, 0.08);
        const double scale = pixelsPerTile / tileUnits;
        const QPointF bd = Tools::getBdCoordByPos(world, scale, 900, p, 44);
        EXPECT_LT(Metres(bd, expected), 0.01) << pixelsPerTile;
        EXPECT_EQ(CBaiduToConvert::getBdCoordByPoints(world, scale, 900, {p, p}, 44), (QList<QPointF>{bd, bd}));
    }
    // A WGS84 view (world in degrees) of the same point: the tile is not square in degrees.
    const QPointF wgsView = Tools::getBdCoordByPos(CExtent(60, 20, 80, 30), 256.0 / (360.0 * tileUnits), 900, p, 5);
    EXPECT_LT(Metres(wgsView, expected), 1.0);
    // No view, or no Baidu tile: the failure value.
    EXPECT_EQ(Tools::getBdCoordByPos(CExtent(0, 0, 1, 1), 0.0, 900, p, 44), QPointF(0, 0));
    Whole::m_nCurLevel = 1;
    EXPECT_EQ(Tools::getBdCoordByPos(CExtent(0, 0, 1, 1), 1000.0, 900, p, 44), QPointF(0, 0));
    Whole::m_nCurLevel = saved;
}
