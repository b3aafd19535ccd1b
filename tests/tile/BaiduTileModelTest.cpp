#include "tile/BaiduTileModel.h"

#include <gtest/gtest.h>

#include <memory>
#include <tuple>

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
        EXPECT_EQ(std::make_tuple(minKey, maxKey, minKey.GetTileModel()), std::make_tuple(nw, se, TILE_MODEL_MERCATOR));
    }
}

TEST(BaiduTileModel, SettersReachTheInnerModelAndCopiesOwnTheirOwn)
{
    auto original = std::make_unique<CBaiduTileModel>();
    const double res = original->GetResolutionX(10);
    original->SetPixelWidth(512);
    EXPECT_DOUBLE_EQ(original->GetResolutionX(10), res / 2);  // answered by the inner model
    CBaiduTileModel copy(*original), assigned;
    assigned = *original;
    original->SetPixelWidth(128);
    original.reset();     // the copies' inner models are their own and outlive the original's
    assigned = assigned;  // self-assignment keeps the inner model
    for (const CBaiduTileModel* m : {&copy, &assigned})
        EXPECT_DOUBLE_EQ(m->GetResolutionX(10), res / 2);
    EXPECT_EQ(copy.MakeKey(10, 116.4, 39.9), assigned.MakeKey(10, 116.4, 39.9));
}
