#include "tile/BD09ToWGS84.h"

#include "DatumReference.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

using datumref::Near;

TEST(BD09ToWGS84, ConversionsMatchTheOpenFormulas) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> lng(60.0, 150.0), lat(-10.0, 65.0);  // inside and around China
    CBD09ToWGS84 conv;
    for (int i = 0; i < 500; ++i) {
        const double x = lng(rng), y = lat(rng);
        SCOPED_TRACE(testing::Message() << x << ", " << y);

        double lon = x, la = y;
        conv.WGS84ToGCJ02(lon, la);
        const auto gcj = datumref::wgs84togcj02(x, y);
        EXPECT_TRUE(Near(lon, la, gcj));
        conv.GCJ02ToBD09(lon, la);
        const auto bd = datumref::gcj02tobd09(gcj.first, gcj.second);
        EXPECT_TRUE(Near(lon, la, bd));
        QPointF p(x, y);
        conv.WGS84ToBD09(p);
        EXPECT_TRUE(Near(p.x(), p.y(), bd));

        // Backwards from (x, y) taken as BD-09; both one-call overloads give exactly the two steps.
        lon = x;
        la = y;
        conv.BD09ToGCJ02(lon, la);
        const auto gcjBack = datumref::bd09togcj02(x, y);
        EXPECT_TRUE(Near(lon, la, gcjBack));
        conv.GCJ02ToWGS84(lon, la);
        EXPECT_TRUE(Near(lon, la, datumref::gcj02towgs84(gcjBack.first, gcjBack.second)));
        double lon2 = x, lat2 = y;
        conv.BD09ToWGS84(lon2, lat2);
        QPointF q(x, y);
        conv.BD09ToWGS84(q);
        EXPECT_EQ(std::make_pair(lon2, lat2), std::make_pair(lon, la));
        EXPECT_EQ(std::make_pair(q.x(), q.y()), std::make_pair(lon, la));

        EXPECT_EQ(conv.outOfChina(x, y), datumref::out_of_china(x, y));
        EXPECT_NEAR(conv.Transformlat(x - 105, y - 35), datumref::transformlat(x - 105, y - 35), 1e-9);
        EXPECT_NEAR(conv.TransformLng(x - 105, y - 35), datumref::transformlng(x - 105, y - 35), 1e-9);
    }
}

TEST(BD09ToWGS84, RoundTripInBeijingIsWithinAboutAMetre) {
    CBD09ToWGS84 conv;
    for (const QPointF& start : {QPointF(116.3975, 39.9087), QPointF(116.2, 40.1), QPointF(116.6, 39.7)}) {
        QPointF p = start;
        conv.WGS84ToBD09(p);
        EXPECT_GT(datumref::metres(start.x(), start.y(), p.x(), p.y()), 100.0);
        conv.BD09ToWGS84(p);
        EXPECT_LT(datumref::metres(start.x(), start.y(), p.x(), p.y()), 2.0);
    }
}

TEST(BD09ToWGS84, OutsideChinaTheGcjStepsChangeNothing) {
    CBD09ToWGS84 conv;
    double lon = -74.006, lat = 40.7128;  // New York
    conv.WGS84ToGCJ02(lon, lat);
    EXPECT_EQ(std::make_pair(lon, lat), std::make_pair(-74.006, 40.7128));
    conv.GCJ02ToWGS84(lon, lat);
    EXPECT_EQ(std::make_pair(lon, lat), std::make_pair(-74.006, 40.7128));
}
