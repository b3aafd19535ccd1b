#include "CoreTest.h"
#include "core/VtMessageQueue.h"

#include <functional>
#include <set>
#include <stdexcept>

namespace {

using Events = std::vector<std::pair<int, int>>;

// Records what it receives as (code, state) pairs, and the threads they arrived on.
class Recorder : public CVtMessageQueue::IMessageUser {
public:
    void OnMessageQ(CVtMessageQueue* queue, const CStateEventObject& event) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_events.emplace_back(event.GetEventCode(), event.GetState());
            m_threads.insert(std::this_thread::get_id());
        }
        if (hook) hook(queue, event);
    }
    Events Received() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    std::set<std::thread::id> Threads() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_threads;
    }
    std::size_t Size() const { return Received().size(); }
    bool WaitForSize(std::size_t n) const { return waitFor([&] { return Size() == n; }); }
    std::function<void(CVtMessageQueue*, const CStateEventObject&)> hook;

private:
    mutable std::mutex m_mutex;
    Events m_events;
    std::set<std::thread::id> m_threads;
};

// Lets the queue's timer thread make a few full passes: a round trip through a second queue is
// not a proof of absence, but a queue that still delivered would be caught most of the time.
void letTimePass(int roundTrips = 5) {
    CVtMessageQueue ticker;
    Recorder r;
    ticker.Attach(&r);
    ticker.Start();
    for (int i = 0; i < roundTrips; ++i) {
        ticker.PostMessageQ(CStateEventObject(0, i));
        ASSERT_TRUE(r.WaitForSize(i + 1));
    }
}

// A queue and a receiver; the receiver is declared first, so the queue's thread ends before it goes.
class VtMessageQueue : public ::testing::Test {
protected:
    void Post(int code, int count) {
        for (int i = 0; i < count; ++i) queue.PostMessageQ(CStateEventObject(code, i));
    }
    Recorder recorder;
    CVtMessageQueue queue;
};

}  // namespace

TEST_F(VtMessageQueue, ManyPostersEveryEventOnceInPosterOrder) {
    constexpr int kPosters = 12;
    constexpr int kEach = 1500;
    queue.Attach(&recorder);
    queue.Start();
    std::atomic<bool> go{false};
    std::vector<std::thread> posters;
    for (int t = 0; t < kPosters; ++t) {
        posters.emplace_back([&, t] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < kEach; ++i) queue.PostMessageQ(CStateEventObject(t, i, QVariant(i)));
        });
    }
    go = true;
    for (auto& p : posters) p.join();
    ASSERT_TRUE(recorder.WaitForSize(kPosters * kEach)) << recorder.Size();

    std::vector<int> next(kPosters);  // in order, none lost or doubled
    for (const auto& e : recorder.Received()) ASSERT_EQ(e.second, next.at(e.first)++) << "poster " << e.first;
    EXPECT_EQ(next, std::vector<int>(kPosters, kEach));
    // Everything was delivered on the queue's one timer thread.
    const std::set<std::thread::id> threads = recorder.Threads();
    EXPECT_EQ(threads.size(), 1u);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
    letTimePass(3);
    EXPECT_EQ(recorder.Size(), static_cast<std::size_t>(kPosters * kEach));
}

TEST_F(VtMessageQueue, OnlyStateEventsAreQueuedAndWaitForTheReceiverUntilDrainedStopPausesStartResumesReceiversMayThrowOrPost) {
    recorder.hook = [](CVtMessageQueue* q, const CStateEventObject& e) {
        if (e.GetEventCode() != 77) return;
        if (e.GetState() == 0) q->PostMessageQ(CStateEventObject(77, 100));
        if (e.GetState() % 2 == 1) throw std::runtime_error("receiver failed");
    };
    CVtLogCapture capture;
    queue.PostMessageQ(CEventObject(9));
    EXPECT_EQ(queue.GetPendingCount(), 0u);
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_DUMP, "[CVtMessageQueue::PostMessageQ] EventCode=9放入队列崩溃"), 1);
    Post(9, 5);
    queue.Cleanup();
    EXPECT_EQ(queue.GetPendingCount(), 0u);

    queue.TranslateMessageQ(CStateEventObject(1));  // no receiver: nothing happens
    queue.Attach(&recorder);
    queue.TranslateMessageQ(CEventObject(4));
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_DUMP, "[CVtMessageQueue::TranslateMessageQ] EventCode=4阻塞通知崩溃"), 1);
    queue.TranslateMessageQ(CStateEventObject(1, 5));  // delivered at once, on the caller's thread
    ASSERT_EQ(recorder.Size(), 1u);
    EXPECT_EQ(recorder.Threads(), std::set<std::thread::id>{std::this_thread::get_id()});

    // Posted before a receiver is attached, drained after: all arrive, in order.
    queue.Attach(nullptr);
    Post(1, 3);
    queue.Attach(&recorder);
    EXPECT_FALSE(queue.IsStart());
    queue.Start();
    EXPECT_TRUE(queue.IsStart());
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_INFO, "[CVtMessageQueue::Start] 启动消息循环，TimerID=1"));
    ASSERT_TRUE(recorder.WaitForSize(4));
    queue.PostMessageQ(CStateEventObject(3, 0));
    ASSERT_TRUE(recorder.WaitForSize(5));

    queue.Stop();
    EXPECT_FALSE(queue.IsStart());
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_INFO, "[CVtMessageQueue::Start] 停止TimerID=1的消息循环"));
    Post(77, 6);
    letTimePass();
    EXPECT_EQ(recorder.Size(), 5u);
    EXPECT_EQ(queue.GetPendingCount(), 6u);

    capture.Clear();
    queue.Start();  // a new timer id; the pending events go out, those that throw too
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_INFO, "[CVtMessageQueue::Start] 启动消息循环，TimerID=2"));
    ASSERT_TRUE(recorder.WaitForSize(12));
    EXPECT_EQ(recorder.Received(),
              (Events{{1, 5}, {1, 0}, {1, 1}, {1, 2}, {3, 0}, {77, 0}, {77, 1}, {77, 2}, {77, 3}, {77, 4}, {77, 5}, {77, 100}}));
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_DUMP, "[CVtMessageQueue::TranslateMessageQ] EventCode=77阻塞通知崩溃"), 3);
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_DEBUG, "[CVtMessageQueue::OnTimer] 事件通知到User，队列内剩余6个"));

    queue.Start();  // started twice: the older timer keeps ticking but is ignored, so each event comes once
    Post(3, 50);
    ASSERT_TRUE(recorder.WaitForSize(62));
    letTimePass(3);
    EXPECT_EQ(recorder.Size(), 62u);
}
