#include "tools/vtcore/RateLimiter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <vector>

using namespace VtCli;
using Clock = CRateLimiter::Clock;
using std::chrono::milliseconds;

TEST(RateLimiter, SpacesStartsOneIntervalApart) {
    CRateLimiter limiter(4.0);  // one start every 250 ms
    const Clock::time_point t0 = Clock::now();
    // Three callers at the same instant get 0, 250 and 500 ms.
    EXPECT_EQ(limiter.Reserve(t0), t0);
    EXPECT_EQ(limiter.Reserve(t0), t0 + milliseconds(250));
    EXPECT_EQ(limiter.Reserve(t0), t0 + milliseconds(500));
    // A caller after a long idle spell starts at once, and the idle time is not banked.
    const Clock::time_point later = t0 + milliseconds(10000);
    EXPECT_EQ(limiter.Reserve(later), later);
    EXPECT_EQ(limiter.Reserve(later), later + milliseconds(250));
}

TEST(RateLimiter, UnlimitedForZeroNegativeAndNonFiniteRates) {
    for (double rate : {0.0, -5.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        CRateLimiter limiter(rate);
        const Clock::time_point t0 = Clock::now();
        for (int i = 0; i < 5; ++i) EXPECT_EQ(limiter.Reserve(t0), t0) << rate;
    }
}

TEST(RateLimiter, ManyThreadsGetDistinctEvenlySpacedStarts) {
    CRateLimiter limiter(1000.0);  // 1 ms apart
    const Clock::time_point t0 = Clock::now();
    constexpr int kThreads = 16;
    constexpr int kEach = 200;
    std::vector<std::vector<Clock::time_point>> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) got[t].push_back(limiter.Reserve(t0));
        });
    for (auto& th : threads) th.join();
    std::vector<Clock::time_point> all;
    for (const auto& g : got) all.insert(all.end(), g.begin(), g.end());
    std::sort(all.begin(), all.end());
    ASSERT_EQ(all.size(), size_t(kThreads * kEach));
    for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i], t0 + milliseconds(long(i))) << i;
}

TEST(RateLimiter, BackoffDoublesUpToTheCap) {
    struct Row {
        int retry, base, cap, expected;
    };
    const Row rows[] = {
        {0, 250, 8000, 0},             // no retry, no delay
        {-3, 250, 8000, 0},
        {1, 250, 8000, 250},           // first retry waits the base
        {2, 250, 8000, 500},
        {5, 250, 8000, 4000},
        {6, 250, 8000, 8000},          // reaches the cap exactly
        {7, 250, 8000, 8000},
        {1000, 250, 8000, 8000},       // no overflow however many retries
        {3, 0, 8000, 0},               // no base, no delay
        {4, 300, 1000, 1000},          // 2400 capped
        {31, 2000000000, 2147483647, 2147483647},
    };
    for (const Row& r : rows) EXPECT_EQ(BackoffDelayMs(r.retry, r.base, r.cap), r.expected) << r.retry << " " << r.base;
}
