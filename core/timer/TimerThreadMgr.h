#pragma once

#include "core/VtCoreExport.h"
#include "core/timer/Task.h"
#include "core/timer/TimerNode.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A thread that polls its timers every 10 ms and calls the callbacks that are due, holding its
// lock around each callback. A timer is due once its period less 5 ms has passed since it last
// fired (or at once when asked to), so periods below 15 ms fire on every pass.
class VTCORE_EXPORT CTimerThreadMgr : public CTask {
public:
    // Milliseconds on a monotonic clock.
    using Clock = std::function<std::uint64_t()>;

    // priorityCode: see CTask::PriorityLevelOf (this library uses 210). Without a clock the
    // process-wide NowMs is used. The thread starts with the first accepted SetTimer.
    CTimerThreadMgr(const std::string& name, int priorityCode, Clock clock = Clock());
    // Prints "Wait <name> Timer Stop..." and "... Stop Over." around joining the thread, then frees
    // every node.
    ~CTimerThreadMgr() override;

    // Returns id, or -1 (with a line on standard output) when count is neither -1 nor positive,
    // the callback is null, or a running timer with this id and owner exists.
    int SetTimer(int id, VtTimerCallback callback, void* owner, unsigned int period, int count, bool atOnce);
    // Frees the timer with this id and owner; waits for its callback if it is running. An id of
    // -1 asks the thread to stop instead. Does nothing while the thread is not running.
    void KillTimer(int id, void* owner);
    // Frees every timer of this owner (waits for a running callback); works with or without thread.
    void KillOwnerTimers(void* owner);

    void Run() override;

    const std::string& GetName() const { return m_strName; }
    int GetPriorityCode() const { return m_nPriority; }
    // Number of completed passes since construction.
    std::uint64_t GetPassCount() const { return m_nPasses.load(); }
    // Timers that are set and not stopped.
    std::size_t GetActiveTimerCount();
    // Timer nodes held, free ones included (they are reused, never dropped before destruction).
    std::size_t GetNodeCount();

    // Milliseconds of the process's monotonic high-resolution clock; the first reading is 0.
    static std::uint64_t NowMs();

private:
    void Pass();

    std::vector<std::unique_ptr<CTimerNode>> m_vecNodes;  // guarded by m_lock
    std::recursive_mutex m_lock;  // taken before any lock of a timer's owner
    std::string m_strName;
    int m_nSleepMs;
    int m_nPriority;
    Clock m_clock;
    std::atomic<std::uint64_t> m_nPasses;
    std::mutex m_startMutex;  // two first SetTimer calls start one thread
};

// The process-wide manager "tTimerMan" (priority code 210): the fallback of timer objects that
// have no manager of their own. Lives from library load to unload.
VTCORE_EXPORT CTimerThreadMgr* VtProcessTimerManager();
