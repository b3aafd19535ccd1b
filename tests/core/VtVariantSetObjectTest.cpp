#include "CoreTest.h"
#include "core/VtVariantSetObject.h"

TEST(VtVariantSetObject, ManyThreadsWriteWithoutLosingEntriesCrossAssignWithoutDeadlockAndCopiesAreTheirOwn) {
    CVtVariantSetObject set, a, b;
    a.SetUserData(1, 1);
    b.SetUserData(2, 2);
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            // a = b and b = a take the two locks in opposite orders; finishing is the assertion.
            CVtVariantSetObject &from = t % 2 ? a : b, &to = t % 2 ? b : a;
            while (!go) std::this_thread::yield();
            for (int i = 0; i < 2000; ++i) {
                const std::string key = "t" + std::to_string(t) + "_" + std::to_string(i);
                set.SetProperty(key, i);
                set.SetUserData(t * 10000 + i, set.IsEmpty() ? QVariant() : set.GetProperty(key));  // read while others write
                to = from;
                from.SetProperty(t % 2 ? "y" : "x", i);
            }
        });
    }
    go = true;
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < 8; ++t) {
        for (int i = 0; i < 2000; i += 97) {
            EXPECT_EQ(set.GetUserData(t * 10000 + i), QVariant(i));
            EXPECT_EQ(set.GetProperty("t" + std::to_string(t) + "_" + std::to_string(i)), QVariant(i));
        }
    }
    // Copies are their own; a property and user data of the same key are apart; either map counts.
    CVtVariantSetObject c, d;
    EXPECT_TRUE(c.IsEmpty());
    c.SetUserData(7, 2);
    EXPECT_FALSE(c.IsEmpty());
    c.SetProperty("7", 1);
    CVtVariantSetObject e(c);
    d = c;
    d = d;  // self-assignment must not deadlock
    c.SetProperty("7", 10);
    EXPECT_EQ(e.GetProperty("7"), QVariant(1));
    EXPECT_EQ(d.GetUserData(7), QVariant(2));
    EXPECT_EQ(d.GetProperty("7"), QVariant(1));
}
