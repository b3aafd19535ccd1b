#pragma once

#include "core/VtCoreExport.h"

// An event of the plug-in and event kernel. The code is the host's business; the library only
// copies events around and names the code in its failure records.
class VTCORE_EXPORT CEventObject {
public:
    explicit CEventObject(int eventCode = 0);
    CEventObject(const CEventObject& other) = default;
    CEventObject& operator=(const CEventObject& other) = default;
    virtual ~CEventObject();

    // A new copy of the same dynamic type, owned by the caller.
    virtual CEventObject* Clone() const;

    int GetEventCode() const { return m_nEventCode; }
    void SetEventCode(int eventCode) { m_nEventCode = eventCode; }

private:
    int m_nEventCode;
};
