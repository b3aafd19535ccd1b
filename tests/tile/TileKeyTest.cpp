#include "tile/TileKey.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <type_traits>

namespace {

const E_TILE_MODEL kModel3 = static_cast<E_TILE_MODEL>(3);
const E_TILE_MODEL kMapId = TILE_MODEL_MAPID, kGeo = TILE_MODEL_GEOGRAPHIC, kBaidu = TILE_MODEL_BAIDU;

CTileKey K(int level, int x, int y, E_TILE_MODEL m = TILE_MODEL_MERCATOR) { return CTileKey(level, x, y, m); }

// The numbers exactly as stored and the scheme, without the family translation of operator==.
void ExpectKey(const CTileKey& k, const CTileKey& want)
{
    EXPECT_EQ(k.GetTileKeyString(), want.GetTileKeyString());
    EXPECT_EQ(k.GetTileModel(), want.GetTileModel());
}

// The key of scheme m that FromMapID makes of the ID at the level.
CTileKey FromId(E_TILE_MODEL m, long long id, int level)
{
    CTileKey k(0, 0, 0, m);
    k.FromMapID(id, level);
    return k;
}

}  // namespace

TEST(TileKey, ValidityFamilyChangesAndComparisonAfterTranslationInLevelColumnRowOrder)
{
    const struct { CTileKey a, b; bool equal; } pairs[] = {
        {K(1, 1, 1, kMapId), K(0, 0, 0), true}, {K(0, 0, 0, kGeo), K(1, 1, 1, kMapId), true},
        {K(3, 4, 5), K(3, 4, 5, kGeo), true},   {K(3, 4, 5, kBaidu), K(4, 5, 6, kMapId), true},
        {K(3, 4, 5, kMapId), K(3, 4, 5), false}, {K(3, 4, 5), K(3, 4, 6), false},
        // scheme 3 is compared as stored, without translation
        {K(3, 4, 5, kModel3), K(3, 4, 5, kMapId), true}, {K(3, 4, 5, kMapId), K(3, 4, 5, kModel3), true},
    };
    for (const auto& r : pairs) {
        EXPECT_EQ(r.a == r.b, r.equal) << r.a.GetTileKeyString() << " vs " << r.b.GetTileKeyString();
        EXPECT_EQ(std::make_pair(r.a != r.b, r.a.IsSameTile(r.b)), std::make_pair(!r.equal, r.equal));
    }
    // Each row: a < b.
    const std::pair<CTileKey, CTileKey> ordered[] = {
        {K(2, 9, 9), K(3, 0, 0)}, {K(3, 1, 9), K(3, 2, 0)}, {K(3, 2, 0), K(3, 2, 1)},
        {K(3, 2, 0), K(4, 3, 2, kMapId)}, {K(4, 3, 1, kMapId), K(3, 2, 1, kGeo)},  // (3, 2, 1), (3, 2, 0) zero-based
        {K(0, INT_MAX, INT_MAX), K(INT_MAX, 0, 0, kMapId)},
    };
    for (const auto& r : ordered) {
        SCOPED_TRACE(r.first.GetTileKeyString() + " < " + r.second.GetTileKeyString());
        EXPECT_TRUE(r.first < r.second && r.first <= r.second && r.second > r.first && r.second >= r.first);
        EXPECT_FALSE(r.second < r.first || r.first > r.second || r.first >= r.second || r.first == r.second);
    }
    const CTileKey k(5, 6, 7, TILE_MODEL_MERCATOR);
    EXPECT_TRUE(k == k && k <= k && !(k < k) && !(k > k));
    const struct { CTileKey k; bool valid; } rows[] = {
        {CTileKey(TILE_MODEL_MERCATOR), false}, {CTileKey(), false},  // one-based with zeros
        {CTileKey(1, 1, 1), true}, {K(0, 0, 0), true}, {K(0, 0, 0, kBaidu), true}, {K(0, 0, -1, kGeo), false},
        {K(1, 1, 1, kModel3), false}, {K(1, 1, 1, static_cast<E_TILE_MODEL>(5)), false},
        {K(1, 1, 1, static_cast<E_TILE_MODEL>(-1)), false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.k.IsValid(), r.valid) << r.k.GetTileKeyString() << " model " << r.k.GetTileModel();
    // A scheme converts implicitly to its all -1 key; a bare number never converts to a level.
    ExpectKey(TILE_MODEL_MERCATOR, K(-1, -1, -1));
    static_assert(!std::is_convertible<int, CTileKey>::value, "a number is not a key");
    // Changed one after the other; within a family only the scheme changes.
    CTileKey c(5, 10, 20, TILE_MODEL_MAPID);
    for (const CTileKey& want : {K(4, 9, 19), K(4, 9, 19, kGeo), K(5, 10, 20, kMapId), K(5, 10, 20, kModel3)}) {
        EXPECT_TRUE(c.ChangeTileModel(want.GetTileModel()));
        ExpectKey(c, want);
    }
}

TEST(TileKey, AncestorsQuadrantsMapIdsAndChildren)
{
    // An ancestor is the key's parent taken again and again, stopping at the target or at level 0.
    std::mt19937 rng(20240611);
    for (int i = 0; i < 1000; ++i) {
        const E_TILE_MODEL m = (i % 2) ? TILE_MODEL_MAPID : TILE_MODEL_GEOGRAPHIC;
        const int base = m == TILE_MODEL_MAPID ? 1 : 0;
        const int level = base + static_cast<int>(rng() % 31);
        const int n = 1 << (level - base);
        const CTileKey k(level, base + static_cast<int>(rng() % n), base + static_cast<int>(rng() % n), m);
        const int target = static_cast<int>(rng() % 40) - 5;
        CTileKey slow = k;
        while (slow.GetLevel() > target && slow.GetLevel() >= 1)
            slow = slow.CreateParentTileKey();
        SCOPED_TRACE(k.GetTileKeyString() + " -> " + std::to_string(target));
        ExpectKey(k.CreateAncientTileKey(target), slow);
        if (HasFailure())
            return;
    }
    ExpectKey(K(5, 9, 9).CreateAncientTileKey(7), K(5, 9, 9));
    ExpectKey(K(INT_MAX, INT_MAX, 3).CreateAncientTileKey(0), K(0, 0, 0));  // a hostile level costs no time
    const struct { CTileKey k; const char* code; } codes[] = {
        {K(2, 3, 1), "013"}, {K(0, 0, 0), "0"}, {K(1, 1, 1, kMapId), "0"},
        {K(3, 4, 4, kMapId), "033"},  // zero-based (2, 3, 3): quadrant 3 inside (1, 1, 1), itself quadrant 3
        {K(4, 6, 9, kGeo), "02112"},  // x 0110, y 1001
    };
    for (const auto& c : codes)
        EXPECT_EQ(c.k.GetQuardIndexString(), c.code);
    // The position within an ancestor (x and y modulo the span), the same in either family.
    const struct { CTileKey k; int ancient, qx, qy, span; } positions[] = {
        {K(4, 6, 9), 1, 6, 1, 8}, {K(5, 7, 10, kMapId), 2, 6, 1, 8}, {K(3, 5, 2, kGeo), 2, 1, 0, 2},
        {K(30, (1 << 30) - 1, 5), 0, (1 << 30) - 1, 5, 1 << 30}, {K(30, 12345, 678, kGeo), 27, 1, 6, 8},
    };
    int qx = -7, qy = -7, sx = -7, sy = -7;
    for (const auto& p : positions) {
        ASSERT_TRUE(p.k.GetAnicientQuardCoordinate(qx, qy, sx, sy, p.ancient)) << p.k.GetTileKeyString();
        EXPECT_EQ(std::make_tuple(qx, qy, sx, sy), std::make_tuple(p.qx, p.qy, p.span, p.span)) << p.ancient;
    }
    qx = sx = -7;
    EXPECT_FALSE(K(3, 5, 6).GetAnicientQuardCoordinate(qx, qy, sx, sy, 3));
    EXPECT_FALSE(K(0, 0, 0).GetAnicientQuardCoordinate(qx, qy, sx, sy, -2));
    EXPECT_EQ(std::make_pair(qx, sx), std::make_pair(-7, -7));
    // Map IDs and children.
    EXPECT_EQ(K(3, 4, 5, kModel3).ToMapID(), -1);
    EXPECT_EQ(CTileKey(TILE_MODEL_GEOGRAPHIC).ToMapID(), -1);
    CTileKey odd(1, 1, 1, kModel3);
    odd.FromMapID(5, 9);
    ExpectKey(odd, K(9, 1, 1, kModel3));  // only the level
    // Every tile of the first levels (IDs counted row by row from 1, so a full last column keeps its
    // column), both families, both directions; and the last tile of deep levels. Both children of
    // each tile return to it; with the quadrant indexes this fixes the children's numbers.
    for (E_TILE_MODEL m : {TILE_MODEL_MAPID, TILE_MODEL_MERCATOR, TILE_MODEL_GEOGRAPHIC}) {
        const int base = m == TILE_MODEL_MAPID ? 1 : 0;
        for (int level = base; level < base + 5; ++level) {
            long long expected = 0;
            const int n = 1 << (level - base);
            for (int y = 0; y < n; ++y)
                for (int x = 0; x < n; ++x) {
                    const CTileKey t(level, x + base, y + base, m);
                    ASSERT_EQ(t.ToMapID(), ++expected) << t.GetTileKeyString();
                    ASSERT_EQ(FromId(m, expected, level).GetTileKeyString(), t.GetTileKeyString());
                    const CTileKey lt = t.CreateChildTileKeyLTCornor(), rb = t.CreateChildTileKeyRBCornor();
                    ASSERT_TRUE(lt.CreateParentTileKey() == t && rb.CreateParentTileKey() == t);
                    ASSERT_TRUE(lt.GetParentQuardIndex() == 0 && rb.GetParentQuardIndex() == 3);
                    ASSERT_EQ(std::make_pair(rb.GetTileX() - lt.GetTileX(), lt.GetTileModel()), std::make_pair(1, m));
                }
        }
        for (int level : {22, 30}) {
            const int last = (1 << level) - 1;
            const CTileKey t(level + base, last + base, last + base, m);
            ASSERT_EQ(t.ToMapID(), (1LL << level) * (1LL << level));
            EXPECT_EQ(FromId(m, t.ToMapID(), level + base).GetTileKeyString(), t.GetTileKeyString());
        }
    }
}

TEST(TileKey, ClampToLevelAndInverseRowsAndHostileNumbersSaturate)
{
    const auto changed = [](CTileKey k, E_TILE_MODEL m) { return k.ChangeTileModel(m), k; };
    const auto clamped = [](CTileKey k) { return k.ClampToLevel(), k; };
    const struct { const char* what; CTileKey in, clamped, inverse; } rows[] = {
        {"mercator", K(3, -5, 100), K(3, 0, 7), K(3, -5, -93)},
        {"geographic", K(3, 100, 100, kGeo), K(3, 7, 3, kGeo), K(3, 100, -97, kGeo)},
        {"baidu as mercator", K(3, 8, 8, kBaidu), K(3, 7, 7, kBaidu), K(3, 8, -1, kBaidu)},
        {"geographic level 1: one row", K(1, 2, 1, kGeo), K(1, 1, 0, kGeo), K(1, 2, -1, kGeo)},
        {"level 0: one tile", K(0, 3, -3), K(0, 0, 0), K(0, 3, 3)},
        {"one-based as geographic", K(4, 0, 50, kMapId), K(4, 1, 4, kMapId), K(4, 0, -45, kMapId)},
        {"scheme 3 untouched", K(3, 100, 1, kModel3), K(3, 100, 1, kModel3), K(3, 100, 2, kModel3)},
        {"deep level, last column", K(30, INT_MAX, -1), K(30, (1 << 30) - 1, 0), K(30, INT_MAX, 1 << 30)},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ExpectKey(clamped(r.in), r.clamped);
        ExpectKey(r.in.GetInverseYTile(), r.inverse);
        ExpectKey(r.inverse.GetInverseYTile(), r.in);  // inverting twice gives the key back
    }
    // Hostile numbers saturate instead of wrapping.
    const CTileKey a(INT_MAX, INT_MAX, INT_MAX, TILE_MODEL_MERCATOR), b(INT_MIN, INT_MIN, INT_MIN, TILE_MODEL_MAPID);
    const CTileKey c(INT_MAX, INT_MIN, INT_MAX, TILE_MODEL_MAPID), d(INT_MIN, INT_MAX, INT_MIN, TILE_MODEL_GEOGRAPHIC);
    const int half = INT_MAX / 2;
    // Every number that leaves the 32-bit range stops at its limit (UBSan also sees no overflow); above
    // the root a parent is the invalid one-based key.
    const struct { const char* what; CTileKey got, want; } saturated[] = {
        {"right of the last column", a.GetRightSibling(), a},
        {"left of the first column", b.GetLeftSibling(), b},
        {"above the first row", d.GetUpSibling(), d},
        {"below the last row", c.GetDownSibling(), c},
        {"child beyond every limit", a.CreateChildTileKeyRBCornor(), a},
        {"child below every limit", b.CreateChildTileKeyLTCornor(), K(INT_MIN + 1, INT_MIN, INT_MIN, kMapId)},
        {"parent of the extremes", a.CreateParentTileKey(), K(INT_MAX - 1, half, half)},
        {"parent of the root", K(0, 0, 0).CreateParentTileKey(), K(-1, 0, 0, kMapId)},
        {"parent below the root", K(-3, 4, 4, kBaidu).CreateParentTileKey(), K(-1, 0, 0, kMapId)},
        {"parent of an odd one-based tile", K(3, 5, 2, kMapId).CreateParentTileKey(), K(2, 3, 1, kMapId)},
        {"to one-based and back", changed(changed(a, kMapId), kBaidu),
         K(INT_MAX - 1, INT_MAX - 1, INT_MAX - 1, kBaidu)},
        {"inverse row at 2^62 rows", a.GetInverseYTile(), a},
        {"clamped deep", clamped(a), a},
        {"clamped shallow", clamped(d), K(INT_MIN, 0, 0, kGeo)},
        {"largest id, deepest level", FromId(TILE_MODEL_MERCATOR, LLONG_MAX, INT_MAX), K(INT_MAX, INT_MAX, 1)},
        {"smallest id, one-based", FromId(kMapId, LLONG_MIN, INT_MIN), K(INT_MIN, INT_MIN, 1, kMapId)},
    };
    for (const auto& r : saturated) {
        SCOPED_TRACE(r.what);
        ExpectKey(r.got, r.want);
    }
    for (const CTileKey& k : {a, b, c, d})
        EXPECT_EQ(k.ToMapID(), -1) << k.GetTileKeyString();  // IDs beyond 64 bits are refused, not wrapped
    EXPECT_EQ(a.GetParentQuardIndex(), 3);
    EXPECT_EQ(b.GetParentQuardIndex(), -3);  // remainders keep the dividend's sign
    EXPECT_TRUE(b < a && a > b && !(a < b));
    int qx = 0, qy = 0, spanX = 0, spanY = 0;
    ASSERT_TRUE(a.GetAnicientQuardCoordinate(qx, qy, spanX, spanY, INT_MIN));
    EXPECT_EQ(std::make_tuple(qx, qy, spanX), std::make_tuple(INT_MAX, INT_MAX, INT_MAX));
}
