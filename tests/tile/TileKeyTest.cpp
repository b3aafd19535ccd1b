#include "tile/TileKey.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <type_traits>

namespace {

// The numbers exactly as stored and the scheme, without the family translation of operator==.
void ExpectKey(const CTileKey& k, const CTileKey& want)
{
    EXPECT_EQ(k.GetTileKeyString(), want.GetTileKeyString());
    EXPECT_EQ(k.GetTileModel(), want.GetTileModel());
}

const E_TILE_MODEL kModel3 = static_cast<E_TILE_MODEL>(3);

}  // namespace

TEST(TileKey, FamiliesCompareAfterTranslationInLevelColumnRowOrder)
{
    const struct {
        CTileKey a, b;
        bool equal;
    } pairs[] = {
        {CTileKey(1, 1, 1, TILE_MODEL_MAPID), CTileKey(0, 0, 0, TILE_MODEL_MERCATOR), true},
        {CTileKey(0, 0, 0, TILE_MODEL_GEOGRAPHIC), CTileKey(1, 1, 1, TILE_MODEL_MAPID), true},
        {CTileKey(3, 4, 5, TILE_MODEL_MERCATOR), CTileKey(3, 4, 5, TILE_MODEL_GEOGRAPHIC), true},
        {CTileKey(3, 4, 5, TILE_MODEL_BAIDU), CTileKey(4, 5, 6, TILE_MODEL_MAPID), true},
        {CTileKey(3, 4, 5, TILE_MODEL_MAPID), CTileKey(3, 4, 5, TILE_MODEL_MERCATOR), false},
        {CTileKey(3, 4, 5, kModel3), CTileKey(3, 4, 5, TILE_MODEL_MAPID), true},  // scheme 3: no translation
        {CTileKey(3, 4, 5, TILE_MODEL_MAPID), CTileKey(3, 4, 5, kModel3), true},
        {CTileKey(3, 4, 5, TILE_MODEL_MERCATOR), CTileKey(3, 4, 6, TILE_MODEL_MERCATOR), false},
    };
    for (const auto& r : pairs) {
        EXPECT_EQ(r.a == r.b, r.equal) << r.a.GetTileKeyString() << " vs " << r.b.GetTileKeyString();
        EXPECT_EQ(r.a != r.b, !r.equal);
        EXPECT_EQ(r.a.IsSameTile(r.b), r.equal);
    }
    // Each row: a < b.
    const std::pair<CTileKey, CTileKey> ordered[] = {
        {CTileKey(2, 9, 9, TILE_MODEL_MERCATOR), CTileKey(3, 0, 0, TILE_MODEL_MERCATOR)},
        {CTileKey(3, 1, 9, TILE_MODEL_MERCATOR), CTileKey(3, 2, 0, TILE_MODEL_MERCATOR)},
        {CTileKey(3, 2, 0, TILE_MODEL_MERCATOR), CTileKey(3, 2, 1, TILE_MODEL_MERCATOR)},
        {CTileKey(3, 2, 0, TILE_MODEL_MERCATOR), CTileKey(4, 3, 2, TILE_MODEL_MAPID)},   // (3,2,1) zero-based
        {CTileKey(4, 3, 1, TILE_MODEL_MAPID), CTileKey(3, 2, 1, TILE_MODEL_GEOGRAPHIC)}, // (3,2,0) zero-based
        {CTileKey(0, INT_MAX, INT_MAX, TILE_MODEL_MERCATOR), CTileKey(INT_MAX, 0, 0, TILE_MODEL_MAPID)},
    };
    for (const auto& r : ordered) {
        const CTileKey& a = r.first;
        const CTileKey& b = r.second;
        SCOPED_TRACE(a.GetTileKeyString() + " < " + b.GetTileKeyString());
        EXPECT_TRUE(a < b && a <= b && b > a && b >= a);
        EXPECT_FALSE(b < a || a > b || a >= b || a == b);
    }
    const CTileKey k(5, 6, 7, TILE_MODEL_MERCATOR);
    EXPECT_TRUE(k == k && k <= k && !(k < k) && !(k > k));
}

TEST(TileKey, ValidityAndFamilyChanges)
{
    const struct {
        CTileKey k;
        bool valid;
    } rows[] = {
        {CTileKey(TILE_MODEL_MERCATOR), false},
        {CTileKey(), false},  // one-based with zeros
        {CTileKey(1, 1, 1), true},
        {CTileKey(0, 0, 0, TILE_MODEL_MERCATOR), true},
        {CTileKey(0, 0, 0, TILE_MODEL_BAIDU), true},
        {CTileKey(0, 0, -1, TILE_MODEL_GEOGRAPHIC), false},
        {CTileKey(1, 1, 1, kModel3), false},
        {CTileKey(1, 1, 1, static_cast<E_TILE_MODEL>(5)), false},
        {CTileKey(1, 1, 1, static_cast<E_TILE_MODEL>(-1)), false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.k.IsValid(), r.valid) << r.k.GetTileKeyString() << " model " << r.k.GetTileModel();
    // A scheme converts implicitly to its all -1 key; a bare number never converts to a level.
    const CTileKey fromModel = TILE_MODEL_MERCATOR;
    ExpectKey(fromModel, CTileKey(-1, -1, -1, TILE_MODEL_MERCATOR));
    static_assert(!std::is_convertible<int, CTileKey>::value, "a number is not a key");

    CTileKey c(5, 10, 20, TILE_MODEL_MAPID);
    EXPECT_TRUE(c.ChangeTileModel(TILE_MODEL_MERCATOR));
    ExpectKey(c, {4, 9, 19, TILE_MODEL_MERCATOR});
    c.ChangeTileModel(TILE_MODEL_GEOGRAPHIC);  // within a family only the scheme changes
    ExpectKey(c, {4, 9, 19, TILE_MODEL_GEOGRAPHIC});
    c.ChangeTileModel(TILE_MODEL_MAPID);
    ExpectKey(c, {5, 10, 20, TILE_MODEL_MAPID});
    c.ChangeTileModel(kModel3);
    ExpectKey(c, {5, 10, 20, kModel3});
    EXPECT_EQ(CTileKey(5, 12, 7, TILE_MODEL_MAPID).GetTileKeyString(), "5_12_7");
}

TEST(TileKey, ParentsAndChildren)
{
    const struct {
        CTileKey k;
        CTileKey parent;
    } rows[] = {
        {CTileKey(0, 0, 0, TILE_MODEL_MERCATOR), CTileKey(-1, 0, 0, TILE_MODEL_MAPID)},
        {CTileKey(1, 1, 1, TILE_MODEL_MERCATOR), CTileKey(0, 0, 0, TILE_MODEL_MERCATOR)},
        {CTileKey(2, 2, 2, TILE_MODEL_MAPID), CTileKey(1, 1, 1, TILE_MODEL_MAPID)},
        {CTileKey(3, 5, 2, TILE_MODEL_MAPID), CTileKey(2, 3, 1, TILE_MODEL_MAPID)},
        {CTileKey(22, (1 << 22) - 1, 0, TILE_MODEL_GEOGRAPHIC), CTileKey(21, (1 << 21) - 1, 0, TILE_MODEL_GEOGRAPHIC)},
        {CTileKey(-3, 4, 4, TILE_MODEL_BAIDU), CTileKey(-1, 0, 0, TILE_MODEL_MAPID)},
    };
    for (const auto& r : rows)
        ExpectKey(r.k.CreateParentTileKey(), r.parent);

    // Both children of every tile of a few levels return to it, in both families; with the quadrant
    // indexes this fixes the children's numbers.
    for (E_TILE_MODEL m : {TILE_MODEL_MAPID, TILE_MODEL_MERCATOR}) {
        const int base = m == TILE_MODEL_MAPID ? 1 : 0;
        for (int level = base; level < base + 4; ++level)
            for (int x = base; x < base + (1 << (level - base)); ++x)
                for (int y = base; y < base + (1 << (level - base)); ++y) {
                    const CTileKey k(level, x, y, m);
                    const CTileKey lt = k.CreateChildTileKeyLTCornor();
                    const CTileKey rb = k.CreateChildTileKeyRBCornor();
                    ASSERT_EQ(lt.CreateParentTileKey(), k);
                    ASSERT_EQ(rb.CreateParentTileKey(), k);
                    ASSERT_EQ(lt.GetParentQuardIndex(), 0);
                    ASSERT_EQ(rb.GetParentQuardIndex(), 3);
                    ASSERT_EQ(rb.GetTileX() - lt.GetTileX(), 1);
                    ASSERT_EQ(lt.GetTileModel(), m);
                }
    }
}

TEST(TileKey, AncestorsMatchRepeatedParents)
{
    std::mt19937 rng(20240611);
    for (int i = 0; i < 2000; ++i) {
        const E_TILE_MODEL m = (i % 2) ? TILE_MODEL_MAPID : TILE_MODEL_GEOGRAPHIC;
        const int base = m == TILE_MODEL_MAPID ? 1 : 0;
        const int level = base + static_cast<int>(rng() % 31);
        const int n = 1 << (level - base);
        const CTileKey k(level, base + static_cast<int>(rng() % n), base + static_cast<int>(rng() % n), m);
        const int target = static_cast<int>(rng() % 40) - 5;
        CTileKey slow = k;
        while (slow.GetLevel() > target && slow.GetLevel() >= 1)
            slow = slow.CreateParentTileKey();
        const CTileKey fast = k.CreateAncientTileKey(target);
        ASSERT_EQ(fast.GetTileKeyString(), slow.GetTileKeyString()) << k.GetTileKeyString() << " -> " << target;
        ASSERT_EQ(fast.GetTileModel(), m);
    }
    ExpectKey(CTileKey(5, 9, 9, TILE_MODEL_MERCATOR).CreateAncientTileKey(7), {5, 9, 9, TILE_MODEL_MERCATOR});
    // A hostile level costs no time.
    ExpectKey(CTileKey(INT_MAX, INT_MAX, 3, TILE_MODEL_MERCATOR).CreateAncientTileKey(0),
              {0, 0, 0, TILE_MODEL_MERCATOR});
}

TEST(TileKey, QuadrantsWithinAncestors)
{
    EXPECT_EQ(CTileKey(2, 3, 1, TILE_MODEL_MERCATOR).GetQuardIndexString(), "013");
    EXPECT_EQ(CTileKey(0, 0, 0, TILE_MODEL_MERCATOR).GetQuardIndexString(), "0");
    EXPECT_EQ(CTileKey(1, 1, 1, TILE_MODEL_MAPID).GetQuardIndexString(), "0");
    // One-based (3, 4, 4) is zero-based (2, 3, 3): quadrant 3 inside (1, 1, 1), itself quadrant 3.
    EXPECT_EQ(CTileKey(3, 4, 4, TILE_MODEL_MAPID).GetQuardIndexString(), "033");
    EXPECT_EQ(CTileKey(4, 6, 9, TILE_MODEL_GEOGRAPHIC).GetQuardIndexString(), "02112");  // x 0110, y 1001

    int qx = -7, qy = -7, sx = -7, sy = -7;
    EXPECT_FALSE(CTileKey(3, 5, 6, TILE_MODEL_MERCATOR).GetAnicientQuardCoordinate(qx, qy, sx, sy, 3));
    EXPECT_FALSE(CTileKey(0, 0, 0, TILE_MODEL_MERCATOR).GetAnicientQuardCoordinate(qx, qy, sx, sy, -2));
    EXPECT_EQ(qx, -7);
    EXPECT_EQ(sx, -7);

    std::mt19937 rng(7);
    for (int i = 0; i < 1000; ++i) {
        const int level = 1 + static_cast<int>(rng() % 30);
        const int x = static_cast<int>(rng() % (1u << level));
        const int y = static_cast<int>(rng() % (1u << level));
        const int ancient = static_cast<int>(rng() % level);
        const int d = level - ancient;
        ASSERT_TRUE(CTileKey(level, x, y, TILE_MODEL_MERCATOR).GetAnicientQuardCoordinate(qx, qy, sx, sy, ancient));
        ASSERT_EQ(sx, 1 << d);
        ASSERT_EQ(sy, 1 << d);
        ASSERT_EQ(qx, x % (1 << d));
        ASSERT_EQ(qy, y % (1 << d));
        // The same tile in the one-based family gives the same position.
        int qx1 = 0, qy1 = 0;
        ASSERT_TRUE(CTileKey(level + 1, x + 1, y + 1, TILE_MODEL_MAPID)
                        .GetAnicientQuardCoordinate(qx1, qy1, sx, sy, ancient + 1));
        ASSERT_EQ(qx1, qx);
        ASSERT_EQ(qy1, qy);
    }
}

TEST(TileKey, MapIdRoundTrips)
{
    EXPECT_EQ(CTileKey(3, 4, 5, kModel3).ToMapID(), -1);
    EXPECT_EQ(CTileKey(TILE_MODEL_GEOGRAPHIC).ToMapID(), -1);
    CTileKey odd(1, 1, 1, kModel3);
    odd.FromMapID(5, 9);
    ExpectKey(odd, {9, 1, 1, kModel3});  // only the level

    // Every tile of the first levels (IDs counted row by row from 1, so a full last column keeps its
    // column), both families, both directions; and the last tile of deep levels.
    for (E_TILE_MODEL m : {TILE_MODEL_MAPID, TILE_MODEL_MERCATOR, TILE_MODEL_GEOGRAPHIC}) {
        const int base = m == TILE_MODEL_MAPID ? 1 : 0;
        for (int level = base; level < base + 5; ++level) {
            long long expected = 0;
            const int n = 1 << (level - base);
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x) {
                    const CTileKey t(level, x + base, y + base, m);
                    ASSERT_EQ(t.ToMapID(), ++expected) << t.GetTileKeyString();
                    CTileKey back(0, 0, 0, m);
                    back.FromMapID(expected, level);
                    ASSERT_EQ(back.GetTileKeyString(), t.GetTileKeyString());
                }
        }
        for (int level : {22, 30}) {
            const int last = (1 << level) - 1;
            const CTileKey t(level + base, last + base, last + base, m);
            const long long id = t.ToMapID();
            ASSERT_EQ(id, (1LL << level) * (1LL << level));
            CTileKey back(0, 0, 0, m);
            back.FromMapID(id, level + base);
            EXPECT_EQ(back.GetTileKeyString(), t.GetTileKeyString());
        }
    }
    // IDs that do not fit 64 bits are refused rather than wrapped.
    EXPECT_EQ(CTileKey(INT_MAX, INT_MAX, INT_MAX, TILE_MODEL_MERCATOR).ToMapID(), -1);
    EXPECT_EQ(CTileKey(INT_MAX, INT_MAX, INT_MAX, TILE_MODEL_MAPID).ToMapID(), -1);
}

TEST(TileKey, ClampToLevelAndInverseRows)
{
    struct Row {
        const char* what;
        CTileKey in;
        CTileKey clamped;
        CTileKey inverse;  // of the input key
    };
    const Row rows[] = {
        {"mercator", CTileKey(3, -5, 100, TILE_MODEL_MERCATOR), CTileKey(3, 0, 7, TILE_MODEL_MERCATOR),
         CTileKey(3, -5, -93, TILE_MODEL_MERCATOR)},
        {"geographic", CTileKey(3, 100, 100, TILE_MODEL_GEOGRAPHIC), CTileKey(3, 7, 3, TILE_MODEL_GEOGRAPHIC),
         CTileKey(3, 100, -97, TILE_MODEL_GEOGRAPHIC)},
        {"baidu as mercator", CTileKey(3, 8, 8, TILE_MODEL_BAIDU), CTileKey(3, 7, 7, TILE_MODEL_BAIDU),
         CTileKey(3, 8, -1, TILE_MODEL_BAIDU)},
        {"geographic level 1: one row", CTileKey(1, 2, 1, TILE_MODEL_GEOGRAPHIC),
         CTileKey(1, 1, 0, TILE_MODEL_GEOGRAPHIC), CTileKey(1, 2, -1, TILE_MODEL_GEOGRAPHIC)},
        {"level 0: one tile", CTileKey(0, 3, -3, TILE_MODEL_MERCATOR), CTileKey(0, 0, 0, TILE_MODEL_MERCATOR),
         CTileKey(0, 3, 3, TILE_MODEL_MERCATOR)},
        {"one-based as geographic", CTileKey(4, 0, 50, TILE_MODEL_MAPID), CTileKey(4, 1, 4, TILE_MODEL_MAPID),
         CTileKey(4, 0, -45, TILE_MODEL_MAPID)},
        {"scheme 3 untouched", CTileKey(3, 100, 1, kModel3), CTileKey(3, 100, 1, kModel3),
         CTileKey(3, 100, 2, kModel3)},
        {"deep level, last column", CTileKey(30, INT_MAX, -1, TILE_MODEL_MERCATOR),
         CTileKey(30, (1 << 30) - 1, 0, TILE_MODEL_MERCATOR), CTileKey(30, INT_MAX, 1 << 30, TILE_MODEL_MERCATOR)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        CTileKey c = r.in;
        c.ClampToLevel();
        ExpectKey(c, r.clamped);
        ExpectKey(r.in.GetInverseYTile(), r.inverse);
        ExpectKey(r.inverse.GetInverseYTile(), r.in);  // inverting twice gives the key back
    }
}

TEST(TileKey, HostileNumbersSaturateInsteadOfWrapping)
{
    const CTileKey a(INT_MAX, INT_MAX, INT_MAX, TILE_MODEL_MERCATOR);
    const CTileKey b(INT_MIN, INT_MIN, INT_MIN, TILE_MODEL_MAPID);
    const CTileKey c(INT_MAX, INT_MIN, INT_MAX, TILE_MODEL_MAPID);
    const CTileKey d(INT_MIN, INT_MAX, INT_MIN, TILE_MODEL_GEOGRAPHIC);
    const auto changed = [](CTileKey k, E_TILE_MODEL m) {
        k.ChangeTileModel(m);
        return k;
    };
    const auto clamped = [](CTileKey k) {
        k.ClampToLevel();
        return k;
    };
    const auto fromId = [](E_TILE_MODEL m, long long id, int level) {
        CTileKey k(0, 0, 0, m);
        k.FromMapID(id, level);
        return k;
    };
    const int half = INT_MAX / 2;
    struct Row {
        const char* what;
        CTileKey got, want;
    };
    // Every number that leaves the 32-bit range stops at its limit (UBSan also sees no overflow).
    const Row rows[] = {
        {"right of the last column", a.GetRightSibling(), a},
        {"left of the first column", b.GetLeftSibling(), b},
        {"above the first row", d.GetUpSibling(), d},
        {"below the last row", c.GetDownSibling(), c},
        {"child beyond every limit", a.CreateChildTileKeyRBCornor(), a},
        {"child below every limit", b.CreateChildTileKeyLTCornor(), CTileKey(INT_MIN + 1, INT_MIN, INT_MIN, TILE_MODEL_MAPID)},
        {"parent of the extremes", a.CreateParentTileKey(), CTileKey(INT_MAX - 1, half, half, TILE_MODEL_MERCATOR)},
        {"parent of mixed extremes", c.CreateParentTileKey(), CTileKey(INT_MAX - 1, -half, half + 1, TILE_MODEL_MAPID)},
        {"to one-based and back", changed(changed(a, TILE_MODEL_MAPID), TILE_MODEL_BAIDU),
         CTileKey(INT_MAX - 1, INT_MAX - 1, INT_MAX - 1, TILE_MODEL_BAIDU)},
        {"to zero-based", changed(b, TILE_MODEL_BAIDU), CTileKey(INT_MIN, INT_MIN, INT_MIN, TILE_MODEL_BAIDU)},
        {"inverse row at 2^62 rows", a.GetInverseYTile(), a},
        {"inverse row at one row", d.GetInverseYTile(), CTileKey(INT_MIN, INT_MAX, INT_MAX, TILE_MODEL_GEOGRAPHIC)},
        {"clamped deep", clamped(a), a},
        {"clamped shallow", clamped(d), CTileKey(INT_MIN, 0, 0, TILE_MODEL_GEOGRAPHIC)},
        {"clamped shallow one-based", clamped(b), CTileKey(INT_MIN, 1, 1, TILE_MODEL_MAPID)},
        {"largest id, deepest level", fromId(TILE_MODEL_MERCATOR, LLONG_MAX, INT_MAX),
         CTileKey(INT_MAX, INT_MAX, 1, TILE_MODEL_MERCATOR)},
        {"smallest id", fromId(TILE_MODEL_MERCATOR, LLONG_MIN, INT_MIN), CTileKey(INT_MIN, 0, INT_MIN, TILE_MODEL_MERCATOR)},
        {"largest id, one-based", fromId(TILE_MODEL_MAPID, LLONG_MAX, INT_MAX), CTileKey(INT_MAX, INT_MAX, 2, TILE_MODEL_MAPID)},
        {"smallest id, one-based", fromId(TILE_MODEL_MAPID, LLONG_MIN, INT_MIN), CTileKey(INT_MIN, INT_MIN, 1, TILE_MODEL_MAPID)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        ExpectKey(r.got, r.want);
    }
    for (const CTileKey& k : {a, b, c, d})
        EXPECT_EQ(k.ToMapID(), -1) << k.GetTileKeyString();
    EXPECT_EQ(a.GetParentQuardIndex(), 3);
    EXPECT_EQ(b.GetParentQuardIndex(), -3);  // remainders keep the dividend's sign
    EXPECT_TRUE(b < a && a > b && !(a < b));
    int qx = 0, qy = 0, spanX = 0, spanY = 0;
    ASSERT_TRUE(a.GetAnicientQuardCoordinate(qx, qy, spanX, spanY, INT_MIN));
    EXPECT_EQ(qx, INT_MAX);
    EXPECT_EQ(qy, INT_MAX);
    EXPECT_EQ(spanX, INT_MAX);
}
