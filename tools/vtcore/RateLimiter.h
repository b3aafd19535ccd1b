#pragma once

#include <chrono>
#include <mutex>

namespace VtCli {

// Spaces requests evenly: at most `perSecond` starts a second, no bursts. Reserve() hands out
// start times one interval apart; callers wait until theirs. A rate of 0 (or below) is unlimited.
// Thread-safe; time is passed in, so the spacing is testable without sleeping.
class CRateLimiter {
public:
    using Clock = std::chrono::steady_clock;
    explicit CRateLimiter(double perSecond);
    // The time at which the caller may start its request (now, or later when the rate is used up).
    Clock::time_point Reserve(Clock::time_point now);

private:
    std::mutex m_mutex;
    Clock::duration m_interval;      // zero when unlimited
    Clock::time_point m_next;        // first free start time
};

// Delay before retry number `retry` (1 for the first retry): base * 2^(retry - 1), at most `cap`
// milliseconds. 0 for retry < 1.
int BackoffDelayMs(int retry, int baseMs, int capMs);

}  // namespace VtCli
