#include "storage/Cache.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const unsigned char kBytes[] = {1, 2, 3, 4, 5};

// A copy of a borrower borrows the same pointer; a copy of an owner owns its own bytes; a copy of
// nothing is not valid but keeps the announced length.
TEST(Cache, CopiesFollowTheSourcesOwnership) {
    const CCache borrower(kBytes, 5, false);
    CCache assigned;
    assigned = borrower;
    EXPECT_EQ(CCache(borrower).GetData(), kBytes);
    EXPECT_EQ(assigned.GetData(), kBytes);
    EXPECT_FALSE(CCache(borrower).IsOwner() || assigned.IsOwner());
    EXPECT_FALSE(CCache(kBytes, 0, true).IsValid());
    const CCache announced(nullptr, 7, true);
    EXPECT_EQ(announced.GetLength(), 7);
    EXPECT_FALSE(announced.IsValid());

    CCache owner(kBytes, 5, true);
    ASSERT_NE(owner.GetData(), kBytes);
    CCache copy(owner);
    EXPECT_TRUE(copy.IsOwner() && copy == owner);
    owner.Free();  // the copy must not depend on the source's bytes
    EXPECT_EQ(std::memcmp(copy.GetData(), kBytes, 5), 0);
    CCache target(kBytes, 3, true);
    target = copy;
    target = target;  // self-assignment keeps the bytes
    ASSERT_EQ(target.GetLength(), 5);
    EXPECT_EQ(std::memcmp(target.GetData(), kBytes, 5), 0);

    CCache handed;
    handed.Attach(new unsigned char[4]{9, 8, 7, 6}, 4);
    handed.SetOwner(true);  // freed by the cache (ASan reports a leak otherwise)
    EXPECT_EQ(handed.GetLength(), 4);
    EXPECT_EQ(handed.GetData()[3], 6);
    handed.CopyData(kBytes, 2);  // frees the handed-over buffer first
    EXPECT_TRUE(handed.IsOwner() && handed.GetLength() == 2);
}

TEST(Cache, EqualityRules) {
    const unsigned char other[] = {1, 2, 3, 4, 6};
    const struct {
        CCache a, b;
        bool equal;
    } rows[] = {
        {CCache(kBytes, 5, true), CCache(kBytes, 5, false), true},    // same bytes, different ownership
        {CCache(kBytes, 5, true), CCache(kBytes, 4, true), false},    // lengths differ
        {CCache(nullptr, 3, true), CCache(nullptr, 3, false), true},  // both without data
        {CCache(nullptr, 5, true), CCache(kBytes, 5, false), false},  // one without data
        {CCache(kBytes, 5, false), CCache(other, 5, false), false},   // last byte differs
    };
    for (const auto& r : rows) EXPECT_TRUE((r.a == r.b) == r.equal && (r.b == r.a) == r.equal) << r.equal;
}

}  // namespace
