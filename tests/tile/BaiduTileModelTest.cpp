#include "tile/BaiduTileModel.h"

#include "tile/BaiduToConvert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <utility>

// The model's key of a BD-09 point is the general tile under which the application stores the Baidu
// tile holding that point: the Baidu tile standing at that key must contain the point, and so must
// the key's own extent.
TEST(BaiduTileModel, KeysAreTheGeneralTilesThatHoldThePointsBaiduTiles)
{
    CBaiduTileModel model;
    std::mt19937 rng(100);
    std::uniform_real_distribution<double> lon(73.5, 134.5), lat(18.2, 53.5);
    int checked = 0, crossing = 0;
    for (int level = 3; level <= 18; ++level) {
        const double span = 256.0 * CBaiduToConvert::BdRes(level);
        for (int i = 0; i < 150; ++i) {
            const QPointF bd(lon(rng), lat(rng));
            // Skip points within 1e-4 tile of a Baidu tile border, where the two ways may honestly differ.
            const QPointF m = CBaiduToConvert::BdLngLatToMercator(bd);
            const auto nearBorder = [&](double v) { return std::abs(v / span - std::round(v / span)) < 1e-4; };
            if (nearBorder(m.x()) || nearBorder(m.y()))
                continue;
            const CTileKey key = model.MakeKey(level, bd.x(), bd.y());
            ASSERT_EQ(key.GetTileModel(), TILE_MODEL_MERCATOR);
            ASSERT_EQ(key.GetLevel(), level);
            crossing += model.IsCrossTileX(level, bd.x()) ? 1 : 0;  // within a pixel of a column border
            double minx = 0, miny = 0, maxx = 0, maxy = 0;
            ASSERT_TRUE(CBaiduToConvert::GetBdLBFromTile(key.GetTileX() + 1, key.GetTileY() + 1, level + 1, minx, miny,
                                                         maxx, maxy));
            const QPointF seen = CBaiduToConvert::MercatorToBdLngLat(m);
            EXPECT_TRUE(CExtent(minx, miny, maxx, maxy).PtInExtent(seen.x(), seen.y()))
                << "level " << level << " point " << bd.x() << ", " << bd.y();
            const CExtent g = model.GetGeoExtent(key);
            EXPECT_TRUE(CExtent(g.minx - 1e-6, g.miny - 1e-6, g.maxx + 1e-6, g.maxy + 1e-6).PtInExtent(bd.x(), bd.y()));
            ++checked;
        }
    }
    EXPECT_GT(checked, 2000);
    EXPECT_LT(crossing, checked / 20);
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
        EXPECT_EQ(std::make_pair(minKey, maxKey), std::make_pair(nw, se));
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
