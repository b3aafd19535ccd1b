#include "tools/vtcore/RateLimiter.h"

#include <algorithm>
#include <cmath>

namespace VtCli {

CRateLimiter::CRateLimiter(double perSecond)
    : m_interval(perSecond > 0 && std::isfinite(perSecond)
                     ? std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / perSecond))
                     : Clock::duration::zero()),
      m_next(Clock::time_point::min()) {}

CRateLimiter::Clock::time_point CRateLimiter::Reserve(Clock::time_point now) {
    if (m_interval == Clock::duration::zero()) return now;
    std::lock_guard<std::mutex> lock(m_mutex);
    // An idle spell does not bank requests: the next start is never earlier than now.
    const Clock::time_point start = std::max(now, m_next);
    m_next = start + m_interval;
    return start;
}

int BackoffDelayMs(int retry, int baseMs, int capMs) {
    if (retry < 1 || baseMs <= 0) return 0;
    long long delay = baseMs;
    for (int i = 1; i < retry && delay < capMs; ++i) delay *= 2;  // stops doubling at the cap
    return int(std::min<long long>(delay, std::max(capMs, 0)));
}

}  // namespace VtCli
