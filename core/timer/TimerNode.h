#pragma once

#include "core/VtCoreExport.h"

#include <cstdint>

// Callback of a timer: the timer id and the owner given to SetTimer.
using VtTimerCallback = void (*)(unsigned int timerId, void* owner);

// One timer of a CTimerThreadMgr. Fields are guarded by the manager's lock.
class VTCORE_EXPORT CTimerNode {
public:
    virtual ~CTimerNode();
    // Frees the node for reuse: no callback or owner, id -1, stopped, period 0, count -1.
    void Reset();

    VtTimerCallback m_pCallback = nullptr;
    int m_nTimerID = -1;                 // -1 when free
    void* m_pOwner = nullptr;
    bool m_bStopped = true;              // a stopped node is free for reuse
    bool m_bInCallback = false;
    unsigned int m_nPeriod = 0;          // ms
    unsigned long long m_nLastFire = 0;  // ms on the manager's clock
    int m_nCount = -1;                   // firings left; -1 unlimited
    bool m_bAtOnce = false;              // fire on the next pass regardless of the period
    std::uint64_t m_nGeneration = 0;     // bumped on every reuse
};
