#pragma once

#include "core/VtCoreExport.h"
#include "core/kernel/EventObject.h"
#include "core/kernel/StateEventObject.h"
#include "core/timer/TimerObjectEx.h"
#include "core/timer/TimerObjectExUser.h"

#include <atomic>
#include <cstddef>
#include <list>
#include <mutex>

// A queue of kernel events: any thread posts, and the queue's own timer thread hands the events,
// in posting order, to one receiver, about every 10 ms once started. Never throws to its callers;
// failures are written as Dump records.
//
// Locks: the timer manager's lock, then the queue's. A receiver runs with both held, so it may
// post to the same queue (delivered in the same drain) while other posters wait for the drain.
class VTCORE_EXPORT CVtMessageQueue : public CTimerObjectExUser {
public:
    // The host's receiver.
    class VTCORE_EXPORT IMessageUser {
    public:
        virtual ~IMessageUser();
        virtual void OnMessageQ(CVtMessageQueue* queue, const CStateEventObject& event) = 0;
    };

    CVtMessageQueue();
    // Stops delivery, joins the timer thread, then drops the pending events.
    ~CVtMessageQueue() override;
    CVtMessageQueue(const CVtMessageQueue&) = delete;
    CVtMessageQueue& operator=(const CVtMessageQueue&) = delete;

    // user: not owned; null detaches. Events drained without a receiver are dropped.
    void Attach(IMessageUser* user);
    // Starts draining (a 1 ms timer, so every pass of the timer thread). Starting again replaces
    // the timer; the older one's ticks are ignored.
    void Start();
    bool IsStart() const;
    // Stops draining; pending events stay queued.
    void Stop();

    // Queues a copy of the event, which must be a CStateEventObject (otherwise nothing is queued
    // and a Dump record is written).
    void PostMessageQ(const CEventObject& event);
    // Delivers the event to the receiver now, on the caller's thread, without queueing.
    void TranslateMessageQ(const CEventObject& event);
    // Drops every pending event.
    void Cleanup();

    std::size_t GetPendingCount() const;

protected:
    // Drains the queue when timerId is the queue's current timer.
    void OnTimer(int timerId) override;

private:
    std::atomic<IMessageUser*> m_pUser;
    mutable std::recursive_mutex m_lock;  // guards m_listEvents; re-entrant for posting receivers
    std::list<CStateEventObject> m_listEvents;
    std::atomic<int> m_nTimerID;  // -1 while stopped
    CTimerObjectEx m_timer;       // last member: its thread is joined before the rest goes
};
