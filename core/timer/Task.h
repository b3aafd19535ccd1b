#pragma once

#include "core/VtCoreExport.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// One worker thread that runs Run() until the running flag is cleared.
class VTCORE_EXPORT CTask {
public:
    CTask();
    // Stops and joins a thread that still runs. A derived class whose Run() uses its own members
    // must stop the thread in its own destructor, before those members go.
    virtual ~CTask();
    CTask(const CTask&) = delete;
    CTask& operator=(const CTask&) = delete;

    // The thread body; return when IsRunning() turns false.
    virtual void Run() = 0;

    // Joins a previous thread (after clearing its running flag), then starts a new one with the
    // given name and priority code (see PriorityLevelOf). False, with the running flag cleared,
    // when the thread cannot be created or when called from the task's own thread.
    bool StartThread(const std::string& name, int priorityCode);
    // Clears the running flag and waits up to timeoutMs (negative: without limit) for the thread.
    // A thread cannot be killed safely, so one that overstays is waited for after a warning record
    // and false is returned. False also when there was no thread.
    bool StopThread(int timeoutMs);
    bool IsRunning() const { return m_bRunning.load(); }
    // Asks the thread to end by clearing the running flag; does not wait.
    void RequestStop() { m_bRunning.store(false); }
    bool IsTaskThread() const;

    // Thread priority level of a priority code: 0 -> 15 (time-critical), 40 -> 2 (highest),
    // 80 -> 1 (above normal), 120 -> 0 (normal), 160 -> -1 (below normal), 200 -> -2 (lowest),
    // 255 -> -15 (idle); every other code -> 0.
    static int PriorityLevelOf(int priorityCode);

private:
    void ThreadProc(int priorityLevel);
    bool JoinLocked(int timeoutMs);

    std::string m_strThreadName;
    std::atomic<bool> m_bRunning;
    std::unique_ptr<std::thread> m_pThread;  // guarded by m_threadMutex
    std::mutex m_threadMutex;                // serialises start and stop; never taken by the thread
    std::mutex m_doneMutex;
    std::condition_variable m_doneCondition;
    bool m_bFinished;                        // guarded by m_doneMutex
};
