#include "core/timer/TimerObject.h"

#include "core/timer/TimerObjectEx.h"
#include "core/timer/TimerObjectExUser.h"
#include "core/timer/TimerThreadMgr.h"

CTimerObject::CTimerObject(CTimerThreadMgr* manager)
    : m_pManager(manager != nullptr ? manager : VtProcessTimerManager()), m_nLastTimerID(0) {}

CTimerObject::~CTimerObject() {
    // A shared manager outlives this object and must not call it any more.
    if (m_pManager != nullptr) m_pManager->KillOwnerTimers(this);
}

void CTimerObject::OnTimer(int /*timerId*/) {}

bool CTimerObject::IsTimerEnabled(int /*timerId*/) { return true; }

int CTimerObject::SetTimer(unsigned int period, int count, bool atOnce) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    const int id = ++m_nLastTimerID;
    if (period == 0 || m_pManager == nullptr) return id;
    m_pManager->SetTimer(id, &CTimerObject::TimerCallback, this, period, count, atOnce);
    return id;
}

void CTimerObject::KillTimer(int timerId) {
    if (m_pManager != nullptr) m_pManager->KillTimer(timerId, this);
}

void CTimerObject::TimerCallback(unsigned int timerId, void* owner) {
    auto* object = static_cast<CTimerObject*>(owner);
    const int id = static_cast<int>(timerId);
    if (object->IsTimerEnabled(id)) object->OnTimer(id);
}

void CTimerObject::DetachManager() { m_pManager = nullptr; }

CTimerObjectExUser::~CTimerObjectExUser() = default;

CTimerObjectEx::CTimerObjectEx(CTimerThreadMgr::Clock clock)
    : CTimerObject(&m_manager), m_manager("Default Timer", 210, std::move(clock)), m_pUser(nullptr) {}

CTimerObjectEx::~CTimerObjectEx() {
    // Joined here, while this object is still whole: a tick in flight may still call OnTimer.
    m_manager.StopThread(-1);
    DetachManager();
}

void CTimerObjectEx::OnTimer(int timerId) {
    if (CTimerObjectExUser* user = m_pUser.load()) user->OnTimer(timerId);
}

void CTimerObjectEx::SetTimerUser(CTimerObjectExUser* user) { m_pUser.store(user); }
