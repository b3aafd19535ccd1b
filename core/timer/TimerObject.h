#pragma once

#include "core/VtCoreExport.h"

#include <mutex>

class CTimerThreadMgr;

// An object that owns timers on a manager and receives their ticks as OnTimer calls, on the
// manager's thread, with the manager's lock held.
class VTCORE_EXPORT CTimerObject {
public:
    // manager: not owned; null selects the process-wide manager "tTimerMan".
    explicit CTimerObject(CTimerThreadMgr* manager = nullptr);
    // Frees this object's timers on its manager (waiting for a callback that is running). A class
    // that overrides OnTimer or IsTimerEnabled kills its timers in its own destructor, since a
    // tick may arrive until then.
    virtual ~CTimerObject();
    CTimerObject(const CTimerObject&) = delete;
    CTimerObject& operator=(const CTimerObject&) = delete;

    virtual void OnTimer(int timerId);
    // Asked before each OnTimer; false skips the tick.
    virtual bool IsTimerEnabled(int timerId);

    // Issues the next id (1, 2, ...) and sets a timer with it: period in ms, count firings (-1
    // unlimited), atOnce to fire on the next pass. With period 0 or no manager nothing is set.
    // Returns the issued id even when the manager refused the timer.
    int SetTimer(unsigned int period, int count, bool atOnce);
    void KillTimer(int timerId);

protected:
    // The manager calls this with the owner it was given.
    static void TimerCallback(unsigned int timerId, void* owner);
    // For derived classes that own their manager and must outlive none of its callbacks.
    void DetachManager();

    std::recursive_mutex m_lock;
    CTimerThreadMgr* m_pManager;
    int m_nLastTimerID;  // the last issued id, 0 before the first
};
