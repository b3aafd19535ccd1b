#include "core/VtVariantSetObject.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

TEST(VtVariantSetObject, ManyThreadsWriteWithoutLosingEntriesCrossAssignWithoutDeadlockAndCopiesAreTheirOwn) {
    CVtVariantSetObject set;
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < 2000; ++i) {
                set.SetProperty("t" + std::to_string(t) + "_" + std::to_string(i), i);
                set.SetUserData(t * 10000 + i, i);
                (void)set.GetProperty("t0_0");
                (void)set.IsEmpty();
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
    // a = b and b = a take the two locks in opposite orders; finishing is the assertion.
    CVtVariantSetObject a, b;
    a.SetUserData(1, 1);
    b.SetUserData(2, 2);
    threads.clear();
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                if (t % 2 == 0) {
                    a = b;
                    b.SetProperty("x", i);
                } else {
                    b = a;
                    a.SetProperty("y", i);
                }
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_FALSE(a.IsEmpty());
    EXPECT_FALSE(b.IsEmpty());

    // Copies are their own; a property and user data of the same key are apart.
    CVtVariantSetObject c, d;
    EXPECT_TRUE(c.IsEmpty());
    c.SetProperty("7", 1);
    c.SetUserData(7, 2);
    CVtVariantSetObject e(c);
    d = c;
    d = d;  // self-assignment must not deadlock
    c.SetProperty("7", 10);
    EXPECT_EQ(e.GetProperty("7"), QVariant(1));
    EXPECT_EQ(d.GetUserData(7), QVariant(2));
    EXPECT_EQ(d.GetProperty("7"), QVariant(1));
}
