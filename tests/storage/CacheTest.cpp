#include "storage/Cache.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const unsigned char kBytes[] = {1, 2, 3, 4, 5};

TEST(Cache, CopyWithoutBytesIsNotValidButKeepsLength) {
    CCache none(kBytes, 0, true);
    EXPECT_EQ(none.GetData(), nullptr);
    EXPECT_FALSE(none.IsValid());

    CCache announced(nullptr, 7, true);
    EXPECT_EQ(announced.GetLength(), 7);
    EXPECT_EQ(announced.GetData(), nullptr);
    EXPECT_FALSE(announced.IsValid());
}

// A copy of a borrower borrows the same pointer; a copy of an owner owns its own bytes.
TEST(Cache, CopiesFollowTheSourcesOwnership) {
    const CCache borrower(kBytes, 5, false);
    const CCache copied(borrower);
    CCache assigned;
    assigned = borrower;
    EXPECT_EQ(copied.GetData(), kBytes);
    EXPECT_EQ(assigned.GetData(), kBytes);
    EXPECT_FALSE(copied.IsOwner() || assigned.IsOwner());

    CCache owner(kBytes, 5, true);
    ASSERT_NE(owner.GetData(), kBytes);
    CCache copy(owner);
    EXPECT_NE(copy.GetData(), owner.GetData());
    EXPECT_TRUE(copy.IsOwner());
    EXPECT_TRUE(copy == owner);
    owner.Free();  // the copy must not depend on the source's bytes
    EXPECT_EQ(std::memcmp(copy.GetData(), kBytes, 5), 0);

    CCache target(kBytes, 3, true);
    target = copy;
    target = target;  // self-assignment keeps the bytes
    ASSERT_TRUE(target.IsValid());
    EXPECT_EQ(target.GetLength(), 5);
    EXPECT_EQ(std::memcmp(target.GetData(), kBytes, 5), 0);
}

TEST(Cache, AttachThenSetOwnerHandsOverAHeapBuffer) {
    unsigned char* heap = new unsigned char[4]{9, 8, 7, 6};
    CCache cache;
    cache.Attach(heap, 4);
    cache.SetOwner(true);  // freed by the cache (ASan reports a leak otherwise)
    EXPECT_EQ(cache.GetData()[3], 6);
    cache.CopyData(kBytes, 2);  // frees the handed-over buffer first
    EXPECT_EQ(cache.GetLength(), 2);
    EXPECT_TRUE(cache.IsOwner());
}

TEST(Cache, EqualityRules) {
    const unsigned char other[] = {1, 2, 3, 4, 6};
    struct Row {
        CCache a, b;
        bool equal;
    };
    Row rows[] = {
        {CCache(kBytes, 5, true), CCache(kBytes, 5, false), true},    // same bytes, different ownership
        {CCache(kBytes, 5, true), CCache(kBytes, 4, true), false},    // lengths differ
        {CCache(nullptr, 3, true), CCache(nullptr, 3, false), true},  // both without data
        {CCache(nullptr, 5, true), CCache(kBytes, 5, false), false},  // one without data
        {CCache(kBytes, 5, false), CCache(other, 5, false), false},   // last byte differs
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        EXPECT_EQ(rows[i].a == rows[i].b, rows[i].equal) << "row " << i;
        EXPECT_EQ(rows[i].b == rows[i].a, rows[i].equal) << "row " << i;
    }
}

}  // namespace
