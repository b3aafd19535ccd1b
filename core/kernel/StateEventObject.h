#pragma once

#include "core/VtCoreExport.h"
#include "core/kernel/EventObject.h"

#include <QVariant>

// The event kind that message queues carry by value: a code, a state number and a payload.
class VTCORE_EXPORT CStateEventObject : public CEventObject {
public:
    explicit CStateEventObject(int eventCode = 0, int state = 0, const QVariant& data = QVariant());
    CStateEventObject(const CStateEventObject& other);
    CStateEventObject& operator=(const CStateEventObject& other);
    ~CStateEventObject() override;

    CEventObject* Clone() const override;

    int GetState() const { return m_nState; }
    void SetState(int state) { m_nState = state; }
    const QVariant& GetData() const { return m_varData; }
    void SetData(const QVariant& data) { m_varData = data; }

private:
    int m_nState;
    QVariant m_varData;
};
