#include "tile/PositionUtil.h"

#include "tile/BD09ToWGS84.h"

#include "DatumVectors.h"

#include <gtest/gtest.h>

#include <tuple>

// The steps one by one; the whole conversions of both classes are checked through the shape and
// by-type conversions of the map types.
TEST(PositionUtil, StepsMatchTheReferenceVectors)
{
    CBD09ToWGS84 conv;
    for (const DATUM_VECTOR& v : kDatumVectors) {
        SCOPED_TRACE(testing::Message() << v.p.x() << ", " << v.p.y());
        const auto step = [&conv](void (CBD09ToWGS84::*f)(double&, double&), QPointF p) {
            double lon = p.x(), lat = p.y();
            (conv.*f)(lon, lat);
            return QPointF(lon, lat);
        };
        EXPECT_TRUE(Near(step(&CBD09ToWGS84::WGS84ToGCJ02, v.p), v.gcj));
        EXPECT_TRUE(Near(step(&CBD09ToWGS84::GCJ02ToBD09, v.gcj), v.bd));
        EXPECT_TRUE(Near(step(&CBD09ToWGS84::GCJ02ToWGS84, v.p), v.wgs));
        EXPECT_TRUE(Near(step(&CBD09ToWGS84::BD09ToWGS84, v.p), v.bdWgs));
        const Gps gcj = PositionUtil::transform(v.p.y(), v.p.x());
        EXPECT_TRUE(Near(QPointF(gcj.lon, gcj.lat), v.gcj));
        // This class's own BD-09 step uses π as the angular factor.
        const Gps bdWgs = PositionUtil::bd09_To_Gps84(v.p.y(), v.p.x());
        EXPECT_TRUE(Near(QPointF(bdWgs.lon, bdWgs.lat), v.bdWgsByPi));
    }
    // The polynomials and the box test, at Beijing's offsets from (105, 35).
    EXPECT_NEAR(conv.Transformlat(11.404, 4.915), 155.924285446071, 1e-9);
    EXPECT_NEAR(conv.TransformLng(11.404, 4.915), 533.911394361721, 1e-9);
    EXPECT_FALSE(conv.outOfChina(116.404, 39.915));
    EXPECT_TRUE(conv.outOfChina(2.35, 48.85));
}

TEST(PositionUtil, ChinaBoxBoundsAreInclusive)
{
    const struct { double lat, lon; bool out; } cases[] = {
        {30.0, 72.004, false},    {30.0, 72.0039, true},   // west edge
        {30.0, 137.8347, false},  {30.0, 137.8348, true},  // east edge
        {0.8293, 110.0, false},   {0.8292, 110.0, true},   // south edge
        {55.8271, 110.0, false},  {55.8272, 110.0, true},  // north edge
        {55.8271, 137.8347, false},                        // a corner
        {-30.0, 110.0, true},     {30.0, -110.0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lat << ", " << c.lon);
        EXPECT_EQ(PositionUtil::outOfChina(c.lat, c.lon), c.out);
        const Gps g = PositionUtil::gps84_To_Gcj02(c.lat, c.lon), back = PositionUtil::gcj_To_Gps84(c.lat, c.lon);
        // Outside untouched both ways; inside an offset of tens to hundreds of metres.
        EXPECT_EQ(std::make_tuple(g.lat, g.lon, back.lat, back.lon) == std::make_tuple(c.lat, c.lon, c.lat, c.lon),
                  c.out);
    }
}
