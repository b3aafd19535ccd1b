#pragma once

#include "core/VtCoreExport.h"

// Receives the ticks of a CTimerObjectEx.
class VTCORE_EXPORT CTimerObjectExUser {
public:
    virtual ~CTimerObjectExUser();
    virtual void OnTimer(int timerId) = 0;
};
