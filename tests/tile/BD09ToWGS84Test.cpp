#include "tile/BD09ToWGS84.h"

#include "DatumVectors.h"

#include <gtest/gtest.h>

TEST(BD09ToWGS84, ConversionsMatchTheReferenceVectors)
{
    CBD09ToWGS84 conv;
    for (const DATUM_VECTOR& v : kDatumVectors) {
        SCOPED_TRACE(testing::Message() << v.p.x() << ", " << v.p.y());
        double lon = v.p.x(), lat = v.p.y();
        conv.WGS84ToGCJ02(lon, lat);
        EXPECT_TRUE(Near(QPointF(lon, lat), v.gcj));
        conv.GCJ02ToBD09(lon, lat);
        EXPECT_TRUE(Near(QPointF(lon, lat), v.bd));
        QPointF p = v.p;
        conv.WGS84ToBD09(p);
        EXPECT_TRUE(Near(p, v.bd));

        lon = v.p.x();
        lat = v.p.y();
        conv.GCJ02ToWGS84(lon, lat);
        EXPECT_TRUE(Near(QPointF(lon, lat), v.wgs));
        lon = v.p.x();
        lat = v.p.y();
        conv.BD09ToWGS84(lon, lat);
        EXPECT_TRUE(Near(QPointF(lon, lat), v.bdWgs));
        p = v.p;
        conv.BD09ToWGS84(p);
        EXPECT_TRUE(Near(p, v.bdWgs));
    }
    // The polynomials and the box test, at Beijing's offsets from (105, 35).
    EXPECT_NEAR(conv.Transformlat(11.404, 4.915), 155.924285446071, 1e-9);
    EXPECT_NEAR(conv.TransformLng(11.404, 4.915), 533.911394361721, 1e-9);
    EXPECT_FALSE(conv.outOfChina(116.404, 39.915));
    EXPECT_TRUE(conv.outOfChina(2.35, 48.85));
}
