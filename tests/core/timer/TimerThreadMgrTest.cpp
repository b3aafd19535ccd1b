#include "../CoreTest.h"
#include "core/timer/TimerObjectEx.h"
#include "core/timer/TimerThreadMgr.h"

namespace {

using namespace std::chrono_literals;

// Waits until the manager has completed n more passes, so that everything due has been called.
bool waitPasses(CTimerThreadMgr& mgr, std::uint64_t n) {
    const std::uint64_t target = mgr.GetPassCount() + n;
    return waitFor([&] { return mgr.GetPassCount() >= target; });
}

struct Counter {
    std::atomic<int> fired{0};
    std::atomic<unsigned int> lastId{0};
    static void Callback(unsigned int id, void* owner) {
        auto* self = static_cast<Counter*>(owner);
        self->lastId = id;
        ++self->fired;
    }
};

struct CountingUser : CTimerObjectExUser {
    std::atomic<int> ticks{0};
    void OnTimer(int) override { ++ticks; }
};

}  // namespace

TEST(TimerThreadMgr, PriorityLevelsRefusalsAndARestartAfterStopping) {
    // 210 is the code every manager of this library uses.
    const int levels[][2] = {{0, 15}, {40, 2}, {80, 1}, {120, 0}, {160, -1}, {200, -2}, {255, -15}, {210, 0}, {-1, 0}, {256, 0}};
    for (const auto& row : levels) EXPECT_EQ(CTask::PriorityLevelOf(row[0]), row[1]) << row[0];

    CTimerThreadMgr mgr("Refuser", 210);
    Counter owner;
    const struct Row { VtTimerCallback callback; int count; const char* output; } rows[] = {
        {&Counter::Callback, 0, "SetTimer nCount must > 0 or =-1\n"},
        {&Counter::Callback, -2, "SetTimer nCount must > 0 or =-1\n"},
        {nullptr, 1, "Refuser: :SetTimer Callback is null, can't settimer\n"},
    };
    for (const Row& row : rows) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(mgr.SetTimer(1, row.callback, &owner, 100, row.count, false), -1);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), row.output);
    }
    EXPECT_EQ(mgr.GetNodeCount(), 0u);

    EXPECT_EQ(mgr.SetTimer(7, &Counter::Callback, &owner, 100000, -1, false), 7);
    testing::internal::CaptureStdout();
    EXPECT_EQ(mgr.SetTimer(7, &Counter::Callback, &owner, 100000, -1, false), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Refuser: assigned ID 7 hav exist, please stop first.\n");
    Counter other;
    EXPECT_EQ(mgr.SetTimer(7, &Counter::Callback, &other, 100000, -1, false), 7);  // another owner
    mgr.KillTimer(7, &owner);
    EXPECT_EQ(mgr.SetTimer(7, &Counter::Callback, &owner, 100000, -1, false), 7);  // freed, reused
    EXPECT_EQ(mgr.GetNodeCount(), 2u);

    // -1 stops the thread; kills are ignored while it is down, and the next SetTimer restarts it.
    mgr.KillTimer(-1, &owner);
    ASSERT_TRUE(waitFor([&] { return !mgr.IsRunning(); }));
    mgr.KillTimer(7, &owner);
    EXPECT_EQ(mgr.GetActiveTimerCount(), 2u);
    ASSERT_EQ(mgr.SetTimer(2, &Counter::Callback, &owner, 1, 2, true), 2);
    ASSERT_TRUE(waitFor([&] { return owner.fired == 2; }));
}

TEST(TimerThreadMgr, FiresOncePeriodLessFiveMillisecondsHasPassedAbsorbsClockStepsBackAndLetsCallbacksReplaceTimers) {
    std::atomic<std::uint64_t> now{1000};
    CTimerThreadMgr mgr("Fake", 210, [&] { return now.load(); });
    Counter owner;
    ASSERT_EQ(mgr.SetTimer(3, &Counter::Callback, &owner, 100, 3, false), 3);
    ASSERT_TRUE(waitPasses(mgr, 3));
    EXPECT_EQ(owner.fired, 0);

    const struct Step { std::uint64_t now; int fired; } steps[] = {  // firings after the manager has seen the time
        {1094, 0},  // 6 ms left: not yet
        {1095, 1},  // 5 ms left: due
        {1100, 1},  // the period restarts at the firing, not at the planned time
        {1190, 2},
        {1285, 3},  // the third and last
        {9000, 3},  // count exhausted
    };
    for (const Step& step : steps) {
        now = step.now;
        ASSERT_TRUE(waitPasses(mgr, 3));
        EXPECT_EQ(owner.fired, step.fired) << step.now;
    }
    EXPECT_EQ(owner.lastId, 3u);
    EXPECT_EQ(mgr.GetActiveTimerCount(), 0u);

    // The exhausted node is reused, not added. A timer set "at once" fires on the next pass.
    Counter atOnce, back;
    ASSERT_EQ(mgr.SetTimer(1, &Counter::Callback, &atOnce, 100, -1, true), 1);
    EXPECT_EQ(mgr.GetNodeCount(), 1u);
    ASSERT_TRUE(waitFor([&] { return atOnce.fired == 1; }));
    ASSERT_EQ(mgr.SetTimer(2, &Counter::Callback, &back, 100, -1, false), 2);
    now = 500;  // earlier than both last firings: they move back to 500
    ASSERT_TRUE(waitPasses(mgr, 3));
    now = 594;
    ASSERT_TRUE(waitPasses(mgr, 3));
    EXPECT_EQ(atOnce.fired, 1);
    EXPECT_EQ(back.fired, 0);
    now = 595;
    ASSERT_TRUE(waitFor([&] { return atOnce.fired == 2 && back.fired == 1; }));

    // A callback may kill its own timer and set another that takes the freed node; the new timer
    // keeps its single firing: the old timer's bookkeeping did not touch it.
    struct Replacer {
        CTimerThreadMgr* mgr;
        std::atomic<int> first{0}, second{0};
        static void First(unsigned int id, void* owner) {
            auto* self = static_cast<Replacer*>(owner);
            ++self->first;
            self->mgr->KillTimer(static_cast<int>(id), owner);
            self->mgr->SetTimer(9, &Replacer::Second, owner, 100, 1, false);
        }
        static void Second(unsigned int, void* owner) { ++static_cast<Replacer*>(owner)->second; }
    } replacer{&mgr};
    ASSERT_EQ(mgr.SetTimer(8, &Replacer::First, &replacer, 100, 2, true), 8);
    ASSERT_TRUE(waitFor([&] { return replacer.first == 1; }));
    EXPECT_EQ(mgr.GetNodeCount(), 3u);
    now = 695;
    ASSERT_TRUE(waitFor([&] { return replacer.second == 1; }));
    EXPECT_EQ(replacer.first, 1);
}

TEST(TimerThreadMgr, KillTimerWaitsForARunningCallbackStopGivesUpAtItsTimeoutButDestructionWaits) {
    // Blocks until released; the second timer's callback sleeps 1.5 s on its own instead.
    struct Blocker {
        std::atomic<bool> inside{false}, release{false}, killed{false}, killedBeforeCallbackEnded{false}, done{false};
        std::atomic<int> calls{0};
        static void Callback(unsigned int id, void* owner) {
            auto* self = static_cast<Blocker*>(owner);
            ++self->calls;
            self->inside = true;
            if (id == 2) std::this_thread::sleep_for(1500ms);
            while (!self->release) std::this_thread::sleep_for(1ms);
            if (self->killed) self->killedBeforeCallbackEnded = id == 1;
            self->done = id == 2;
        }
    } blocker;
    CVtLogCapture capture;
    testing::internal::CaptureStdout();
    {
        CTimerThreadMgr mgr("Joiner", 210);
        ASSERT_EQ(mgr.SetTimer(1, &Blocker::Callback, &blocker, 1, -1, true), 1);
        ASSERT_TRUE(waitFor([&] { return blocker.inside.load(); }));
        std::thread killer([&] {
            mgr.KillTimer(1, &blocker);
            blocker.killed = true;
        });
        std::this_thread::sleep_for(20ms);  // gives the killer time to block; the check holds either way
        blocker.release = true;
        killer.join();
        EXPECT_FALSE(blocker.killedBeforeCallbackEnded);
        const int calls = blocker.calls;
        ASSERT_TRUE(waitPasses(mgr, 3));
        EXPECT_EQ(blocker.calls, calls);

        // The thread cannot be killed: it is left to finish, and the stop returns near its timeout.
        blocker.inside = false;
        ASSERT_EQ(mgr.SetTimer(2, &Blocker::Callback, &blocker, 1, 1, true), 2);
        ASSERT_TRUE(waitFor([&] { return blocker.inside.load(); }));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(mgr.StopThread(100));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
        EXPECT_FALSE(blocker.done);
        EXPECT_FALSE(mgr.IsRunning());
        EXPECT_EQ(capture.Count(VTLOG_LEVEL_WARN, "[CTask::StopThread] Joiner"), 1);
    }
    EXPECT_TRUE(blocker.done);  // the destructor waited for the callback
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Wait Joiner Timer Stop...\nWait Joiner Timer Stop Over.\n");
}

TEST(TimerObject, CountedTimersFireThatOftenDisabledTimersAndMissingUsersGetNoTicksPlainOnesShareOneManager) {
    struct Gate : CTimerObjectEx {
        std::atomic<bool> enabled{true};
        std::atomic<int> asked{0};
        bool IsTimerEnabled(int) override {
            ++asked;
            return enabled;
        }
        ~Gate() override { GetManager().StopThread(-1); }  // no tick may reach a half-destroyed Gate
    } gate;
    CountingUser user;
    gate.SetTimerUser(&user);
    EXPECT_EQ(gate.SetTimer(0, -1, false), 1);  // period 0: an id, no timer
    EXPECT_EQ(gate.GetManager().GetNodeCount(), 0u);
    EXPECT_EQ(gate.SetTimer(20, 3, false), 2);
    ASSERT_TRUE(waitFor([&] { return user.ticks == 3; }));
    ASSERT_TRUE(waitPasses(gate.GetManager(), 5));
    EXPECT_EQ(user.ticks, 3);

    gate.enabled = false;
    gate.SetTimer(1, -1, true);
    const int asked = gate.asked;
    ASSERT_TRUE(waitFor([&] { return gate.asked >= asked + 3; }));
    EXPECT_EQ(user.ticks, 3);
    gate.enabled = true;
    ASSERT_TRUE(waitFor([&] { return user.ticks >= 6; }));
    gate.SetTimerUser(nullptr);
    const int before = user.ticks;
    ASSERT_TRUE(waitPasses(gate.GetManager(), 3));
    EXPECT_EQ(user.ticks, before);

    // Plain timer objects share the process-wide manager, and their timers leave it with them.
    struct Ticker : CTimerObject {
        std::atomic<int> ticks{0};
        void OnTimer(int) override { ++ticks; }
        ~Ticker() override { KillTimer(1); }  // the shared manager must not call a half-destroyed Ticker
    };
    {
        Ticker ticker;
        ticker.SetTimer(1, -1, true);
        ASSERT_TRUE(waitFor([&] { return ticker.ticks >= 2; }));
    }
    EXPECT_EQ(VtProcessTimerManager()->GetActiveTimerCount(), 0u);
}

