#include "tile/TileBound.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

const CTileKey kMin(5, 10, 20, TILE_MODEL_MERCATOR);
const CTileKey kMax(5, 14, 25, TILE_MODEL_MERCATOR);

}  // namespace

TEST(TileBound, Validity)
{
    EXPECT_FALSE(CTileBound().IsValid());  // default keys are one-based level 0: invalid
    EXPECT_TRUE(CTileBound(kMin, kMax).IsValid());
    EXPECT_TRUE(CTileBound(kMin, kMin).IsValid());
    EXPECT_FALSE(CTileBound(kMax, kMin).IsValid());  // min after max
    EXPECT_FALSE(CTileBound(kMin, CTileKey(TILE_MODEL_MERCATOR)).IsValid());
    // Families are translated: one-based (6, 15, 26) is zero-based (5, 14, 25).
    EXPECT_TRUE(CTileBound(kMin, CTileKey(6, 15, 26, TILE_MODEL_MAPID)).IsValid());
    CTileBound cleared(kMin, kMax);
    cleared.Clear();
    EXPECT_EQ(cleared, CTileBound());
}

TEST(TileBound, OrderIsLexicographicOnMinThenMax)
{
    const CTileBound a(kMin, kMax);
    const CTileBound sameMinSmallerMax(kMin, CTileKey(5, 14, 24, TILE_MODEL_MERCATOR));
    const CTileBound largerMin(CTileKey(5, 11, 0, TILE_MODEL_MERCATOR), CTileKey(5, 11, 1, TILE_MODEL_MERCATOR));
    // Each pair: first < second, seen through every operator.
    for (const auto& p : {std::make_pair(sameMinSmallerMax, a), std::make_pair(a, largerMin)}) {
        EXPECT_TRUE(p.first < p.second && p.first <= p.second && p.second > p.first && p.second >= p.first);
        EXPECT_FALSE(p.second < p.first || p.second <= p.first || p.first > p.second || p.first >= p.second);
        EXPECT_NE(p.first, p.second);
    }
    EXPECT_TRUE(!(a < a) && a <= a && a >= a && !(a > a));
    // Equality translates families.
    EXPECT_EQ(a, CTileBound(CTileKey(6, 11, 21, TILE_MODEL_MAPID), CTileKey(6, 15, 26, TILE_MODEL_MAPID)));
}

TEST(TileBound, RangesAndPyramids)
{
    const CTileBound b(kMin, kMax);
    struct {
        CTileKey key;
        bool inRange, inPyramid;
    } const cases[] = {
        {CTileKey(5, 10, 20, TILE_MODEL_MERCATOR), true, true},    // the corners are inside
        {CTileKey(5, 14, 25, TILE_MODEL_MERCATOR), true, true},
        {CTileKey(6, 11, 21, TILE_MODEL_MAPID), true, true},       // (5, 10, 20) one-based
        {CTileKey(5, 15, 25, TILE_MODEL_MERCATOR), false, false},  // one column east
        {CTileKey(5, 12, 19, TILE_MODEL_MERCATOR), false, false},  // one row north
        {CTileKey(6, 29, 51, TILE_MODEL_MERCATOR), false, true},   // a child of (5, 14, 25)
        {CTileKey(7, 40, 80, TILE_MODEL_MERCATOR), false, true},   // a grandchild of (5, 10, 20)
        {CTileKey(6, 30, 51, TILE_MODEL_MERCATOR), false, false},  // a child of a tile outside
        {CTileKey(4, 6, 11, TILE_MODEL_MERCATOR), false, false},   // shallower than the bound
        {CTileKey(), false, false},                                // invalid
    };
    for (const auto& c : cases) {
        EXPECT_EQ(b.InRange(c.key), c.inRange) << c.key.GetTileKeyString();
        EXPECT_EQ(b.InPyramidRange(c.key), c.inPyramid) << c.key.GetTileKeyString();
    }
}

TEST(TileBound, AddTileAndExpandGrowRelativeToMin)
{
    CTileBound b(kMin, kMax);
    b.AddTile(CTileKey(6, 41, 39, TILE_MODEL_MERCATOR));  // one level deeper: its parent (5, 20, 19)
    EXPECT_EQ(b.GetMinTile(), CTileKey(5, 10, 19, TILE_MODEL_MERCATOR));
    EXPECT_EQ(b.GetMaxTile(), CTileKey(5, 20, 25, TILE_MODEL_MERCATOR));
    const CTileBound before = b;
    b.AddTile(CTileKey(3, 0, 0, TILE_MODEL_MERCATOR));  // shallower: nothing changes
    EXPECT_EQ(b, before);
    b.AddTile(CTileKey(6, 1, 1, TILE_MODEL_MAPID));  // one-based (5, 0, 0)
    EXPECT_EQ(b.GetMinTile(), CTileKey(5, 0, 0, TILE_MODEL_MERCATOR));

    CTileBound e(kMin, kMin);
    e.Expand(CTileBound(CTileKey(5, 3, 30, TILE_MODEL_MERCATOR), CTileKey(5, 4, 31, TILE_MODEL_MERCATOR)));
    EXPECT_EQ(e, CTileBound(CTileKey(5, 3, 20, TILE_MODEL_MERCATOR), CTileKey(5, 10, 31, TILE_MODEL_MERCATOR)));
}

TEST(TileBound, NormalizeAndCenter)
{
    CTileBound b(CTileKey(7, 40, 80, TILE_MODEL_MERCATOR), CTileKey(6, 15, 26, TILE_MODEL_MAPID));
    b.Normalize();  // max becomes zero-based (5, 14, 25); min climbs to level 5: (5, 10, 20)
    EXPECT_EQ(b.GetMaxTile().GetTileModel(), TILE_MODEL_MERCATOR);
    EXPECT_EQ(b.GetMinTile(), kMin);
    EXPECT_EQ(b.GetMaxTile(), kMax);

    EXPECT_EQ(CTileBound(kMin, kMax).GetCenter(), CTileKey(5, 12, 22, TILE_MODEL_MERCATOR));
    // A one-based bound: centred in zero-based numbers and handed back one-based.
    const CTileBound oneBased(CTileKey(6, 11, 21, TILE_MODEL_MAPID), CTileKey(6, 15, 26, TILE_MODEL_MAPID));
    const CTileKey c = oneBased.GetCenter();
    EXPECT_EQ(c.GetTileModel(), TILE_MODEL_MAPID);
    EXPECT_EQ(c, CTileKey(5, 12, 22, TILE_MODEL_MERCATOR));
    // Extreme keys do not overflow.
    const CTileBound huge(CTileKey(5, 2147483647, 2147483647, TILE_MODEL_MERCATOR),
                          CTileKey(5, 2147483647, 2147483647, TILE_MODEL_MERCATOR));
    EXPECT_EQ(huge.GetCenter().GetTileX(), 2147483647);
}
