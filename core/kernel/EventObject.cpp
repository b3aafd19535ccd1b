#include "core/kernel/EventObject.h"
#include "core/kernel/EventObserver.h"
#include "core/kernel/StateEventObject.h"

CEventObject::CEventObject(int eventCode) : m_nEventCode(eventCode) {}

CEventObject::~CEventObject() = default;

CEventObject* CEventObject::Clone() const { return new CEventObject(*this); }

CStateEventObject::CStateEventObject(int eventCode, int state, const QVariant& data)
    : CEventObject(eventCode), m_nState(state), m_varData(data) {}

CStateEventObject::CStateEventObject(const CStateEventObject& other) = default;

CStateEventObject& CStateEventObject::operator=(const CStateEventObject& other) = default;

CStateEventObject::~CStateEventObject() = default;

CEventObject* CStateEventObject::Clone() const { return new CStateEventObject(*this); }

CEventObserver::~CEventObserver() = default;

bool CEventObserver::Notify(CEventObject& event, bool /*wait*/) { return OnNotify(event); }

bool CEventObserver::OnNotify(CEventObject& /*event*/) { return false; }
