#include "tile/BaiduTileModel.h"

#include "tile/BaiduToConvert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <utility>

namespace {

std::vector<QPointF> ChinaPoints(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> lon(73.5, 134.5);
    std::uniform_real_distribution<double> lat(18.2, 53.5);
    std::vector<QPointF> pts;
    for (int i = 0; i < count; ++i)
        pts.emplace_back(lon(rng), lat(rng));
    return pts;
}

// Whether a BD-09 point lies within `margin` tiles of a border of its Baidu tile at zoom z, where
// the two ways of finding the tile may honestly differ.
bool NearBaiduBorder(const QPointF& bd, int z, double margin)
{
    const QPointF m = CBaiduToConvert::BdLngLatToMercator(bd);
    const double span = 256.0 * CBaiduToConvert::BdRes(z);
    const auto near = [&](double v) {
        const double f = v / span - std::floor(v / span);
        return f < margin || f > 1.0 - margin;
    };
    return near(m.x()) || near(m.y());
}

}  // namespace

// The model's key of a BD-09 point is the general tile under which the application stores the Baidu
// tile holding that point: the Baidu tile standing at that key must contain the point.
TEST(BaiduTileModel, KeysAreTheGeneralTilesThatHoldThePointsBaiduTiles)
{
    CBaiduTileModel model;
    int checked = 0;
    for (int level = 3; level <= 18; ++level) {
        for (const QPointF& bd : ChinaPoints(150, 100 + level)) {
            if (NearBaiduBorder(bd, level, 1e-4))
                continue;
            const CTileKey key = model.MakeKey(level, bd.x(), bd.y());
            ASSERT_EQ(key.GetTileModel(), TILE_MODEL_MERCATOR);
            ASSERT_EQ(key.GetLevel(), level);
            const QList<QPointF> corners =
                CBaiduToConvert::GetBdPointFromTile(key.GetTileX() + 1, key.GetTileY() + 1, level + 1);
            ASSERT_EQ(corners.size(), 2);
            const QPointF seen =
                CBaiduToConvert::MercatorToBdLngLat(CBaiduToConvert::BdLngLatToMercator(bd));
            EXPECT_TRUE(corners[0].x() <= seen.x() && seen.x() <= corners[1].x() && corners[0].y() <= seen.y() &&
                        seen.y() <= corners[1].y())
                << "level " << level << " point " << bd.x() << ", " << bd.y();
            // The key's own extent, back in BD-09, holds the point as well.
            const CExtent g = model.GetGeoExtent(key);
            EXPECT_TRUE(g.minx <= bd.x() + 1e-6 && bd.x() - 1e-6 <= g.maxx && g.miny <= bd.y() + 1e-6 &&
                        bd.y() - 1e-6 <= g.maxy);
            ++checked;
        }
    }
    EXPECT_GT(checked, 2000);
}

TEST(BaiduTileModel, RangesAgreeWithTheKeysOfTheirCorners)
{
    CBaiduTileModel model;
    const CExtent e(115.7, 39.6, 117.1, 40.4);  // Beijing, BD-09
    for (int level = 6; level <= 14; ++level) {
        int row = 0, col = 0, rows = 0, cols = 0;
        ASSERT_TRUE(model.GetRowColInfo(row, col, rows, cols, e, level));
        const CTileKey nw = model.MakeKey(level, e.minx, e.maxy);
        const CTileKey se = model.MakeKey(level, e.maxx, e.miny);
        EXPECT_EQ(std::make_pair(col, row), std::make_pair(nw.GetTileX(), nw.GetTileY())) << level;
        EXPECT_EQ(std::make_pair(cols, rows),
                  std::make_pair(se.GetTileX() - nw.GetTileX() + 1, se.GetTileY() - nw.GetTileY() + 1)) << level;
        CTileKey minKey, maxKey;
        ASSERT_TRUE(model.GetTileBound(minKey, maxKey, e, level));
        EXPECT_EQ(minKey, nw);
        EXPECT_EQ(maxKey, se);
        EXPECT_EQ(minKey.GetTileModel(), TILE_MODEL_MERCATOR);
    }
}

TEST(BaiduTileModel, SettersReachTheInnerModelAndCopiesOwnTheirOwn)
{
    auto original = std::make_unique<CBaiduTileModel>();
    const double res = original->GetResolutionX(10);
    original->SetPixelWidth(512);
    EXPECT_DOUBLE_EQ(original->GetResolutionX(10), res / 2);  // answered by the inner model

    CBaiduTileModel copy(*original);
    CBaiduTileModel assigned;
    assigned = *original;
    original->SetPixelWidth(128);
    EXPECT_DOUBLE_EQ(copy.GetResolutionX(10), res / 2);
    EXPECT_DOUBLE_EQ(assigned.GetResolutionX(10), res / 2);
    original.reset();  // the copies' inner models outlive the original's
    EXPECT_EQ(copy.MakeKey(10, 116.4, 39.9), assigned.MakeKey(10, 116.4, 39.9));
    assigned = assigned;  // self-assignment keeps the inner model
    EXPECT_DOUBLE_EQ(assigned.GetResolutionX(10), res / 2);
}
