#include "tile/PositionUtil.h"

#include "DatumVectors.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

QPointF LonLat(const Gps& g) { return QPointF(g.lon, g.lat); }

}  // namespace

TEST(PositionUtil, ConversionsMatchTheReferenceVectors)
{
    for (const DATUM_VECTOR& v : kDatumVectors) {
        SCOPED_TRACE(testing::Message() << v.p.x() << ", " << v.p.y());
        const double lat = v.p.y(), lon = v.p.x();
        EXPECT_TRUE(Near(LonLat(PositionUtil::gps84_To_Gcj02(lat, lon)), v.gcj));
        EXPECT_TRUE(Near(LonLat(PositionUtil::transform(lat, lon)), v.gcj));
        EXPECT_TRUE(Near(PositionUtil::shifting(v.p), v.gcj));
        EXPECT_TRUE(Near(PositionUtil::shiftingBD09(v.p), v.bd));
        EXPECT_TRUE(Near(LonLat(PositionUtil::gcj_To_Gps84(lat, lon)), v.wgs));
        EXPECT_TRUE(Near(PositionUtil::correct(v.p), v.wgs));
        EXPECT_TRUE(Near(PositionUtil::correctBD09(v.p), v.bdWgs));
        // This class's own BD-09 step uses π as the angular factor.
        EXPECT_TRUE(Near(LonLat(PositionUtil::bd09_To_Gps84(lat, lon)), v.bdWgsByPi));
        const Gps gcj = PositionUtil::bd09_To_Gcj02(lat, lon);
        EXPECT_TRUE(Near(LonLat(PositionUtil::gcj_To_Gps84(gcj.lat, gcj.lon)), v.bdWgsByPi));
    }
}

TEST(PositionUtil, ChinaBoxBoundsAreInclusive)
{
    struct Case {
        double lat, lon;
        bool out;
    };
    const Case kCases[] = {
        {30.0, 72.004, false},    {30.0, 72.0039, true},     // west edge
        {30.0, 137.8347, false},  {30.0, 137.8348, true},    // east edge
        {0.8293, 110.0, false},   {0.8292, 110.0, true},     // south edge
        {55.8271, 110.0, false},  {55.8272, 110.0, true},    // north edge
        {55.8271, 137.8347, false},                          // a corner
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
