#include "core/VtMessageQueue.h"

#include "core/log/VtLog.h"

#include <typeinfo>

namespace {

const CStateEventObject& asStateEvent(const CEventObject& event) {
    return dynamic_cast<const CStateEventObject&>(event);  // throws std::bad_cast for other kinds
}

}  // namespace

CVtMessageQueue::IMessageUser::~IMessageUser() = default;

CVtMessageQueue::CVtMessageQueue() : m_pUser(nullptr), m_nTimerID(-1) { m_timer.SetTimerUser(this); }

CVtMessageQueue::~CVtMessageQueue() {
    m_timer.KillTimer(m_nTimerID.load());
    m_nTimerID.store(-1);
}

void CVtMessageQueue::Attach(IMessageUser* user) { m_pUser.store(user); }

void CVtMessageQueue::Start() {
    const int id = m_timer.SetTimer(1, -1, false);
    m_nTimerID.store(id);
    VtLogInfo() << "[CVtMessageQueue::Start] " << VtGB("启动消息循环，TimerID=") << id;
}

bool CVtMessageQueue::IsStart() const { return m_nTimerID.load() >= 0; }

void CVtMessageQueue::Stop() {
    const int id = m_nTimerID.load();
    m_timer.KillTimer(id);
    m_nTimerID.store(-1);
    VtLogInfo() << "[CVtMessageQueue::Start] " << VtGB("停止TimerID=") << id << VtGB("的消息循环");
}

void CVtMessageQueue::PostMessageQ(const CEventObject& event) {
    try {
        const CStateEventObject& state = asStateEvent(event);
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        m_listEvents.push_back(state);
    } catch (...) {
        VtLogDump() << "[CVtMessageQueue::PostMessageQ] EventCode=" << event.GetEventCode() << VtGB("放入队列崩溃");
    }
}

void CVtMessageQueue::TranslateMessageQ(const CEventObject& event) {
    IMessageUser* user = m_pUser.load();
    if (user == nullptr) return;
    try {
        user->OnMessageQ(this, asStateEvent(event));
    } catch (...) {
        VtLogDump() << "[CVtMessageQueue::TranslateMessageQ] EventCode=" << event.GetEventCode()
                    << VtGB("阻塞通知崩溃");
    }
}

void CVtMessageQueue::Cleanup() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_listEvents.clear();
    VtLogInfo() << "[CVtMessageQueue::Start] " << VtGB("清空消息队列");
}

std::size_t CVtMessageQueue::GetPendingCount() const {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_listEvents.size();
}

void CVtMessageQueue::OnTimer(int timerId) {
    if (timerId != m_nTimerID.load()) return;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    // Held for the whole drain, deliveries included: a receiver's own posts join this drain.
    while (!m_listEvents.empty()) {
        VtLogDebug() << "[CVtMessageQueue::OnTimer] " << VtGB("事件通知到User，队列内剩余")
                     << static_cast<unsigned long long>(m_listEvents.size()) << VtGB("个");
        const CStateEventObject event = m_listEvents.front();
        m_listEvents.pop_front();
        TranslateMessageQ(event);
    }
}
