#include "storage/Cache.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const unsigned char kBytes[] = {1, 2, 3, 4, 5};

// A copy of a borrower borrows the same pointer; a copy of an owner owns its own bytes.
TEST(Cache, CopiesFollowOwnershipAndCompareByBytes) {
    const CCache borrower(kBytes, 5, false);
    CCache assigned;
    assigned = borrower;
    EXPECT_TRUE(CCache(borrower).GetData() == kBytes && assigned.GetData() == kBytes && !assigned.IsOwner());
    EXPECT_TRUE(!CCache(kBytes, 0, true).IsValid() && CCache(nullptr, 7, true).GetLength() == 7);  // the length stays without data
    CCache owner(kBytes, 5, true);
    CCache copy(owner);
    ASSERT_TRUE(owner.GetData() != kBytes && copy.GetData() != owner.GetData());
    owner.Free();  // the copy must not depend on the source's bytes
    CCache target(kBytes, 3, true);
    target = copy;
    target = target;
    ASSERT_TRUE(target.IsOwner() && target.GetLength() == 5 && std::memcmp(target.GetData(), kBytes, 5) == 0);

    CCache handed;
    handed.Attach(new unsigned char[4]{9, 8, 7, 6}, 4);
    handed.SetOwner(true);  // freed by the cache (ASan reports a leak otherwise)
    EXPECT_TRUE(handed.GetLength() == 4 && handed.GetData()[3] == 6);
    handed.CopyData(kBytes, 2);
    EXPECT_TRUE(handed.IsOwner() && handed.GetLength() == 2);

    const unsigned char other[] = {1, 2, 3, 4, 6};
    const struct { CCache a, b; bool equal; } rows[] = {
        {CCache(kBytes, 5, true), CCache(kBytes, 5, false), true},
        {CCache(kBytes, 5, true), CCache(kBytes, 4, true), false},
        {CCache(nullptr, 3, true), CCache(nullptr, 3, false), true},
        {CCache(nullptr, 5, true), CCache(kBytes, 5, false), false},
        {CCache(kBytes, 5, false), CCache(other, 5, false), false},
    };
    for (const auto& r : rows) EXPECT_TRUE((r.a == r.b) == r.equal && (r.b == r.a) == r.equal) << r.equal;
}

}  // namespace
