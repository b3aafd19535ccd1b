#pragma once

#include "core/VtCoreExport.h"

class CEventObject;

// Receives kernel events. Notify hands the event to OnNotify on the caller's thread.
class VTCORE_EXPORT CEventObserver {
public:
    virtual ~CEventObserver();

    // Delivers the event; `wait` is accepted for interface compatibility (delivery is always
    // immediate). Returns what OnNotify returns.
    virtual bool Notify(CEventObject& event, bool wait);

protected:
    // Returns true when the event was handled; the default handles nothing.
    virtual bool OnNotify(CEventObject& event);
};
