#include "tile/PositionUtil.h"

#include "DatumReference.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

constexpr double kTolerance = 1e-9;  // degrees

// Random (lng, lat) points inside the China box and over the whole world, from a fixed seed.
std::vector<QPointF> SamplePoints() {
    std::mt19937 rng(20240611);
    std::uniform_real_distribution<double> chinaLng(72.004, 137.8347), chinaLat(0.8293, 55.8271);
    std::uniform_real_distribution<double> worldLng(-180.0, 180.0), worldLat(-89.0, 89.0);
    std::vector<QPointF> points;
    for (int i = 0; i < 300; ++i) points.emplace_back(chinaLng(rng), chinaLat(rng));
    for (int i = 0; i < 300; ++i) points.emplace_back(worldLng(rng), worldLat(rng));
    return points;
}

}  // namespace

TEST(PositionUtil, ForwardConversionsMatchTheOpenFormulas) {
    for (const QPointF& p : SamplePoints()) {
        SCOPED_TRACE(testing::Message() << p.x() << ", " << p.y());
        const auto gcj = datumref::wgs84togcj02(p.x(), p.y());
        const Gps a = PositionUtil::gps84_To_Gcj02(p.y(), p.x());
        const Gps b = PositionUtil::transform(p.y(), p.x());
        EXPECT_NEAR(a.lon, gcj.first, kTolerance);
        EXPECT_NEAR(a.lat, gcj.second, kTolerance);
        EXPECT_EQ(a.lat, b.lat);
        EXPECT_EQ(a.lon, b.lon);
        const QPointF shifted = PositionUtil::shifting(p);
        EXPECT_NEAR(shifted.x(), gcj.first, kTolerance);
        EXPECT_NEAR(shifted.y(), gcj.second, kTolerance);

        // WGS84 -> GCJ-02 -> BD-09 in one call.
        const auto bd = datumref::gcj02tobd09(gcj.first, gcj.second);
        const QPointF toBd = PositionUtil::shiftingBD09(p);
        EXPECT_NEAR(toBd.x(), bd.first, kTolerance);
        EXPECT_NEAR(toBd.y(), bd.second, kTolerance);
    }
}

TEST(PositionUtil, InversesAreTheSingleStepFormulas) {
    for (const QPointF& p : SamplePoints()) {
        SCOPED_TRACE(testing::Message() << p.x() << ", " << p.y());
        const auto wgs = datumref::gcj02towgs84(p.x(), p.y());
        const Gps g = PositionUtil::gcj_To_Gps84(p.y(), p.x());
        EXPECT_NEAR(g.lon, wgs.first, kTolerance);
        EXPECT_NEAR(g.lat, wgs.second, kTolerance);
        const QPointF corrected = PositionUtil::correct(p);
        EXPECT_NEAR(corrected.x(), wgs.first, kTolerance);
        EXPECT_NEAR(corrected.y(), wgs.second, kTolerance);

        // PositionUtil's BD-09 step uses π as the angular factor.
        const auto gcj = datumref::bd09togcj02(p.x(), p.y(), datumref::PI);
        const Gps fromBd = PositionUtil::bd09_To_Gcj02(p.y(), p.x());
        EXPECT_NEAR(fromBd.lon, gcj.first, kTolerance);
        EXPECT_NEAR(fromBd.lat, gcj.second, kTolerance);
        const auto wgsFromBd = datumref::gcj02towgs84(gcj.first, gcj.second);
        const Gps g84 = PositionUtil::bd09_To_Gps84(p.y(), p.x());
        EXPECT_NEAR(g84.lon, wgsFromBd.first, kTolerance);
        EXPECT_NEAR(g84.lat, wgsFromBd.second, kTolerance);
    }
}

TEST(PositionUtil, ChinaBoxBoundsAreInclusive) {
    struct Case {
        double lat;
        double lon;
        bool out;
    };
    const Case kCases[] = {
        {30.0, 72.004, false},    {30.0, 72.0039, true},     // west edge
        {30.0, 137.8347, false},  {30.0, 137.8348, true},    // east edge
        {0.8293, 110.0, false},   {0.8292, 110.0, true},     // south edge
        {55.8271, 110.0, false},  {55.8272, 110.0, true},    // north edge
        {0.8293, 72.004, false},  {55.8271, 137.8347, false},  // corners
        {-30.0, 110.0, true},     {30.0, -110.0, true},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << c.lat << ", " << c.lon);
        EXPECT_EQ(PositionUtil::outOfChina(c.lat, c.lon), c.out);
        const Gps g = PositionUtil::gps84_To_Gcj02(c.lat, c.lon);
        const Gps back = PositionUtil::gcj_To_Gps84(c.lat, c.lon);
        if (c.out) {
            EXPECT_EQ(g.lat, c.lat);
            EXPECT_EQ(g.lon, c.lon);
            EXPECT_EQ(back.lat, c.lat);
            EXPECT_EQ(back.lon, c.lon);
        } else {
            EXPECT_NE(g.lon, c.lon);  // an offset of tens to hundreds of metres
        }
    }
}

TEST(PositionUtil, OutsideChinaBd09OnlyRemovesTheBaiduStep) {
    const double lat = 48.8566, lon = 2.3522;  // Paris
    const Gps gcj = PositionUtil::bd09_To_Gcj02(lat, lon);
    const Gps wgs = PositionUtil::bd09_To_Gps84(lat, lon);
    EXPECT_EQ(wgs.lat, gcj.lat);
    EXPECT_EQ(wgs.lon, gcj.lon);
    EXPECT_GT(std::abs(gcj.lon - lon), 0.005);  // the 0.0065 degree shift was removed
}

TEST(PositionUtil, GcjOffsetInBeijingIsHundredsOfMetres) {
    const double lat = 39.9087, lon = 116.3975;
    const Gps g = PositionUtil::gps84_To_Gcj02(lat, lon);
    const double shift = datumref::metres(lon, lat, g.lon, g.lat);
    EXPECT_GT(shift, 100.0);
    EXPECT_LT(shift, 1000.0);
    // One step back lands within a few metres of the start.
    const Gps back = PositionUtil::gcj_To_Gps84(g.lat, g.lon);
    EXPECT_LT(datumref::metres(lon, lat, back.lon, back.lat), 5.0);
}
