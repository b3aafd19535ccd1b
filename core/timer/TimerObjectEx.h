#pragma once

#include "core/VtCoreExport.h"
#include "core/timer/TimerObject.h"
#include "core/timer/TimerObjectExUser.h"
#include "core/timer/TimerThreadMgr.h"

#include <atomic>

// A timer object with its own manager thread ("Default Timer", priority code 210) that forwards
// every tick to its user.
class VTCORE_EXPORT CTimerObjectEx : public CTimerObject {
public:
    // clock: for tests; the default is the process's monotonic clock.
    explicit CTimerObjectEx(CTimerThreadMgr::Clock clock = CTimerThreadMgr::Clock());
    // Stops and joins the manager's thread before anything of this object goes.
    ~CTimerObjectEx() override;

    // Calls the user's OnTimer when a user is set.
    void OnTimer(int timerId) override;
    // user: not owned; null clears it.
    void SetTimerUser(CTimerObjectExUser* user);
    CTimerThreadMgr& GetManager() { return m_manager; }

private:
    CTimerThreadMgr m_manager;
    std::atomic<CTimerObjectExUser*> m_pUser;
};
