#include "tile/TileBound.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

CTileKey M(int level, int x, int y) { return CTileKey(level, x, y, TILE_MODEL_MERCATOR); }
CTileKey One(int level, int x, int y) { return CTileKey(level, x, y, TILE_MODEL_MAPID); }

const CTileKey kMin = M(5, 10, 20);
const CTileKey kMax = M(5, 14, 25);

}  // namespace

TEST(TileBound, ValidityOrderRangesPyramidsGrowthAndCenter)
{
    EXPECT_FALSE(CTileBound().IsValid());  // default keys are one-based level 0: invalid
    EXPECT_TRUE(CTileBound(kMin, kMin).IsValid());
    EXPECT_FALSE(CTileBound(kMax, kMin).IsValid());  // min after max
    EXPECT_FALSE(CTileBound(kMin, CTileKey(TILE_MODEL_MERCATOR)).IsValid());
    EXPECT_TRUE(CTileBound(kMin, One(6, 15, 26)).IsValid());  // families are translated: (5, 14, 25)
    CTileBound cleared(kMin, kMax);
    cleared.Clear();
    EXPECT_EQ(cleared, CTileBound());
    // Lexicographic on min, then max; each pair: first < second, through every operator.
    const CTileBound a(kMin, kMax), smallerMax(kMin, M(5, 14, 24)), largerMin(M(5, 11, 0), M(5, 11, 1));
    for (const auto& p : {std::make_pair(smallerMax, a), std::make_pair(a, largerMin)}) {
        EXPECT_TRUE(p.first < p.second && p.first <= p.second && p.second > p.first && p.second >= p.first);
        EXPECT_FALSE(p.second < p.first || p.second <= p.first || p.first > p.second || p.first >= p.second);
        EXPECT_NE(p.first, p.second);
    }
    EXPECT_TRUE(!(a < a) && a <= a && a >= a && !(a > a));
    EXPECT_EQ(a, CTileBound(One(6, 11, 21), One(6, 15, 26)));
    // Ranges and pyramids.
    const struct { CTileKey key; bool inRange, inPyramid; } cases[] = {
        {M(5, 10, 20), true, true}, {M(5, 14, 25), true, true}, {One(6, 11, 21), true, true},  // corners, one-based
        {M(5, 15, 25), false, false}, {M(5, 12, 19), false, false},  // one column east, one row north
        {M(6, 29, 51), false, true}, {M(7, 40, 80), false, true},    // a child and a grandchild of corners
        {M(6, 30, 51), false, false}, {M(4, 6, 11), false, false},   // a child of a tile outside, shallower
        {CTileKey(), false, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::make_pair(a.InRange(c.key), a.InPyramidRange(c.key)), std::make_pair(c.inRange, c.inPyramid))
            << c.key.GetTileKeyString();
    CTileBound b(kMin, kMax);
    b.AddTile(M(6, 41, 39));  // one level deeper: its parent (5, 20, 19)
    EXPECT_EQ(b, CTileBound(M(5, 10, 19), M(5, 20, 25)));
    b.AddTile(M(3, 0, 0));  // shallower: nothing changes
    EXPECT_EQ(b, CTileBound(M(5, 10, 19), M(5, 20, 25)));
    b.AddTile(One(6, 1, 1));  // one-based (5, 0, 0)
    EXPECT_EQ(b.GetMinTile(), M(5, 0, 0));
    CTileBound e(kMin, kMin);
    e.Expand(CTileBound(M(5, 3, 30), M(5, 4, 31)));
    EXPECT_EQ(e, CTileBound(M(5, 3, 20), M(5, 10, 31)));
    CTileBound n(M(7, 40, 80), One(6, 15, 26));
    n.Normalize();  // max becomes zero-based (5, 14, 25); min climbs to level 5: (5, 10, 20)
    EXPECT_EQ(n.GetMaxTile().GetTileModel(), TILE_MODEL_MERCATOR);
    EXPECT_EQ(n, CTileBound(kMin, kMax));
    EXPECT_EQ(CTileBound(kMin, kMax).GetCenter(), M(5, 12, 22));
    // A one-based bound: centred in zero-based numbers and handed back one-based.
    const CTileKey c = CTileBound(One(6, 11, 21), One(6, 15, 26)).GetCenter();
    EXPECT_EQ(std::make_pair(c, c.GetTileModel()), std::make_pair(M(5, 12, 22), TILE_MODEL_MAPID));
    const CTileKey far = M(5, 2147483647, 2147483647);
    EXPECT_EQ(CTileBound(far, far).GetCenter(), far);  // extreme keys do not overflow
}
