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

CTask::CTask() : m_bRunning(false), m_bFinished(true) {}

CTask::~CTask() {
    std::lock_guard<std::mutex> lock(m_threadMutex);
    if (!IsTaskThread()) JoinLocked(-1);
}

int CTask::PriorityLevelOf(int priorityCode) {
    for (const PriorityRow& row : kPriorities)
        if (row.code == priorityCode) return row.level;
    return 0;
}

bool CTask::IsTaskThread() const {
    return m_pThread != nullptr && m_pThread->get_id() == std::this_thread::get_id();
}

bool CTask::StartThread(const std::string& name, int priorityCode) {
    std::lock_guard<std::mutex> lock(m_threadMutex);
    if (IsTaskThread()) return false;  // a thread cannot join itself
    JoinLocked(-1);
    m_strThreadName = name;
    {
        std::lock_guard<std::mutex> done(m_doneMutex);
        m_bFinished = false;
    }
    m_bRunning.store(true);
    try {
        m_pThread = std::make_unique<std::thread>(&CTask::ThreadProc, this, PriorityLevelOf(priorityCode));
    } catch (const std::exception&) {
        m_bRunning.store(false);
        std::lock_guard<std::mutex> done(m_doneMutex);
        m_bFinished = true;
        return false;
    }
    return true;
}

bool CTask::StopThread(int timeoutMs) {
    std::lock_guard<std::mutex> lock(m_threadMutex);
    if (m_pThread == nullptr || IsTaskThread()) return false;
    return JoinLocked(timeoutMs);
}

bool CTask::JoinLocked(int timeoutMs) {
    if (m_pThread == nullptr) return false;
    m_bRunning.store(false);
    bool inTime = true;
    if (timeoutMs >= 0) {
        std::unique_lock<std::mutex> done(m_doneMutex);
        inTime = m_doneCondition.wait_for(done, std::chrono::milliseconds(timeoutMs), [this] { return m_bFinished; });
    }
    if (!inTime) {
        VtLogWarn() << "[CTask::StopThread] " << m_strThreadName << VtGB(" 线程未在时限内结束，继续等待");
    }
    m_pThread->join();
    m_pThread.reset();
    return inTime;
}

void CTask::ThreadProc(int priorityLevel) {
    IVtPlatform& platform = GetVtPlatform();
    platform.SetCurrentThreadName(m_strThreadName);
    platform.SetCurrentThreadPriority(priorityLevel);
    try {
        Run();
    } catch (...) {
        // The thread ends like a normal return; its owner may start it again.
    }
    m_bRunning.store(false);
    std::lock_guard<std::mutex> done(m_doneMutex);
    m_bFinished = true;
    m_doneCondition.notify_all();
}
