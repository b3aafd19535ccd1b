#include "tile/PositionUtil.h"

#include "DatumReference.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace {

using datumref::Near;

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

TEST(PositionUtil, ConversionsMatchTheOpenFormulas) {
    for (const QPointF& p : SamplePoints()) {
        SCOPED_TRACE(testing::Message() << p.x() << ", " << p.y());
        const auto gcj = datumref::wgs84togcj02(p.x(), p.y());
        const Gps a = PositionUtil::gps84_To_Gcj02(p.y(), p.x());
        const Gps b = PositionUtil::transform(p.y(), p.x());
        EXPECT_TRUE(Near(a.lon, a.lat, gcj));
        EXPECT_EQ(std::make_pair(a.lon, a.lat), std::make_pair(b.lon, b.lat));
        const QPointF shifted = PositionUtil::shifting(p);
        EXPECT_TRUE(Near(shifted.x(), shifted.y(), gcj));
        // WGS84 -> GCJ-02 -> BD-09 in one call.
        const QPointF toBd = PositionUtil::shiftingBD09(p);
        EXPECT_TRUE(Near(toBd.x(), toBd.y(), datumref::gcj02tobd09(gcj.first, gcj.second)));

        // The inverses are the single-step formulas, with (x, y) taken as GCJ-02 or BD-09.
        const auto wgs = datumref::gcj02towgs84(p.x(), p.y());
        const Gps g = PositionUtil::gcj_To_Gps84(p.y(), p.x());
        EXPECT_TRUE(Near(g.lon, g.lat, wgs));
        const QPointF corrected = PositionUtil::correct(p);
        EXPECT_TRUE(Near(corrected.x(), corrected.y(), wgs));

        // PositionUtil's BD-09 step uses π as the angular factor, unlike CBD09ToWGS84.
        const auto gcjOfBd = datumref::bd09togcj02(p.x(), p.y(), datumref::PI);
        const Gps fromBd = PositionUtil::bd09_To_Gcj02(p.y(), p.x());
        EXPECT_TRUE(Near(fromBd.lon, fromBd.lat, gcjOfBd));
        const Gps g84 = PositionUtil::bd09_To_Gps84(p.y(), p.x());
        EXPECT_TRUE(Near(g84.lon, g84.lat, datumref::gcj02towgs84(gcjOfBd.first, gcjOfBd.second)));
    }
}

TEST(PositionUtil, ChinaBoxBoundsAreInclusive) {
    struct Case {
        double lat, lon;
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
            EXPECT_EQ(std::make_pair(g.lat, g.lon), std::make_pair(c.lat, c.lon));
            EXPECT_EQ(std::make_pair(back.lat, back.lon), std::make_pair(c.lat, c.lon));
        } else {
            EXPECT_NE(g.lon, c.lon);  // an offset of tens to hundreds of metres
        }
    }
}
