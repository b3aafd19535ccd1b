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
    // Stops a thread that still runs and waits for it without limit, also for one that a timed-out
    // StopThread left running. A derived class whose Run() uses its own members
    // must stop the thread in its own destructor, before those members go.
    virtual ~CTask();
    CTask(const CTask&) = delete;
    CTask& operator=(const CTask&) = delete;

    // The thread body; return when IsRunning() turns false.
    virtual void Run() = 0;

    // Waits without limit for a previous thread (after clearing its running flag), then starts a
    // new one with the given name and priority code (see PriorityLevelOf). False, with the running
    // flag cleared, when the thread cannot be created or when called from the task's own thread.
    bool StartThread(const std::string& name, int priorityCode);
    // Clears the running flag and waits up to timeoutMs (negative: without limit) for the thread.
    // True when it ended in time. A thread cannot be killed safely, so one that overstays is left
    // to finish on its own (detached, after a warning record) and false is returned within the
    // timeout; the next StartThread and the destructor still wait for it. False also when there
    // was no thread or when called from the task's own thread.
    bool StopThread(int timeoutMs);
    bool IsRunning() const { return m_state->running.load(); }
    // Asks the thread to end by clearing the running flag; does not wait.
    void RequestStop() { m_state->running.store(false); }
    bool IsTaskThread() const;

    static int PriorityLevelOf(int priorityCode);

private:
    // What the thread itself touches after Run() returns. Shared with the thread, so a thread that
    // was left running after a timed-out stop never reaches freed memory.
    struct ThreadState {
        std::atomic<bool> running{false};
        std::atomic<std::thread::id> id{};
        std::mutex doneMutex;
        std::condition_variable doneCondition;
        bool finished = true;  // guarded by doneMutex
    };

    static void ThreadProc(CTask* task, std::shared_ptr<ThreadState> state, std::string name, int priorityLevel);
    bool JoinLocked(int timeoutMs);

    std::string m_strThreadName;
    const std::shared_ptr<ThreadState> m_state;
    std::unique_ptr<std::thread> m_pThread;  // guarded by m_threadMutex; null once joined or detached
    std::mutex m_threadMutex;                // serialises start and stop; never taken by the thread
};
