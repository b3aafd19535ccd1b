#include "core/timer/Task.h"

#include "core/log/VtLog.h"
#include "core/platform/Platform.h"

#include <chrono>
#include <system_error>

namespace {

struct PriorityRow {
    int code;
    int level;
};

constexpr PriorityRow kPriorities[] = {
    {0, 15}, {40, 2}, {80, 1}, {120, 0}, {160, -1}, {200, -2}, {255, -15},
};

}  // namespace

CTask::CTask() : m_state(std::make_shared<ThreadState>()) {}

CTask::~CTask() {
    std::lock_guard<std::mutex> lock(m_threadMutex);
    if (!IsTaskThread()) JoinLocked(-1);
}

int CTask::PriorityLevelOf(int priorityCode) {
    for (const PriorityRow& row : kPriorities)
        if (row.code == priorityCode) return row.level;
    return 0;
}

bool CTask::IsTaskThread() const { return m_state->id.load() == std::this_thread::get_id(); }

bool CTask::StartThread(const std::string& name, int priorityCode) {
    std::lock_guard<std::mutex> lock(m_threadMutex);
    if (IsTaskThread()) return false;  // a thread cannot wait for itself
    JoinLocked(-1);
    m_strThreadName = name;
    {
        std::lock_guard<std::mutex> done(m_state->doneMutex);
        m_state->finished = false;
    }
    m_state->running.store(true);
    try {
        m_pThread = std::make_unique<std::thread>(&CTask::ThreadProc, this, m_state, name, PriorityLevelOf(priorityCode));
        m_state->id.store(m_pThread->get_id());
    } catch (const std::exception&) {
        m_state->running.store(false);
        std::lock_guard<std::mutex> done(m_state->doneMutex);
        m_state->finished = true;
        return false;
    }
    return true;
}

bool CTask::StopThread(int timeoutMs) {
    std::lock_guard<std::mutex> lock(m_threadMutex);
    if (IsTaskThread()) return false;
    return JoinLocked(timeoutMs);
}

bool CTask::JoinLocked(int timeoutMs) {
    ThreadState& state = *m_state;
    state.running.store(false);
    bool finished = true;
    {
        // Also waits for a thread detached by an earlier timed-out stop: nothing may start, and no
        // member may go, while it still runs Run().
        std::unique_lock<std::mutex> done(state.doneMutex);
        const auto isFinished = [&state] { return state.finished; };
        if (timeoutMs < 0) {
            state.doneCondition.wait(done, isFinished);
        } else {
            finished = state.doneCondition.wait_for(done, std::chrono::milliseconds(timeoutMs), isFinished);
        }
    }
    if (finished) state.id.store(std::thread::id());  // the id may be given to another thread now
    if (m_pThread == nullptr) return false;
    if (!finished) {
        VtLogWarn() << "[CTask::StopThread] " << m_strThreadName << VtGB(" 线程未在时限内结束，已分离，由其自行结束");
        m_pThread->detach();
        m_pThread.reset();
        return false;
    }
    m_pThread->join();
    m_pThread.reset();
    return true;
}

void CTask::ThreadProc(CTask* task, std::shared_ptr<ThreadState> state, std::string name, int priorityLevel) {
    IVtPlatform& platform = GetVtPlatform();
    platform.SetCurrentThreadName(name);
    platform.SetCurrentThreadPriority(priorityLevel);
    try {
        task->Run();
    } catch (...) {
        // The thread ends like a normal return; its owner may start it again.
    }
    // From here on only the shared state is touched: the task may be gone once finished is set.
    state->running.store(false);
    std::lock_guard<std::mutex> done(state->doneMutex);
    state->finished = true;
    state->doneCondition.notify_all();
}
