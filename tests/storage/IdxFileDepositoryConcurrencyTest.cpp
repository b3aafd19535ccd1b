#include "DepositoryTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <random>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vt_depository_test;

namespace {

// True when a read of `slot` in the caller's buffer form gave nothing or a complete tile.
bool IntactOrNothing(CIdxFileDepository& dep, long long slot, Bytes& buf) {
    const int n = dep.ReadBuffer(slot, buf.data(), static_cast<int>(buf.size()));
    uint32_t seq = 0;
    return n <= 0 || IsIntactTile(Bytes(buf.begin(), buf.begin() + n), slot, seq);
}

// The same in the cache form: no data, or a complete tile whose sequence number goes to seq.
bool IntactOrNoData(CIdxFileDepository& dep, long long slot, uint32_t& seq) {
    Bytes tile;
    const E_QUERY_RESULT result = ReadTile(dep, slot, tile);
    seq = 0;
    return result == QUERY_OK ? IsIntactTile(tile, slot, seq) : result == QUERY_NO_DATA;
}

// Close while eight threads write and read: reads give whole tiles, Close waits for the calls under
// way, later calls fail cleanly, and every slot reopens complete. Every fourth call goes to slot 205,
// whose offset and length cross a page of the index (the file system writes them in two pieces).
TEST(IdxFileDepositoryConcurrency, CloseWhileWritingAndReading) {
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({1, 2, 3, 4, 5}));
    const long long slotTotal = t.dep.GetMaxIndex();
    // Several rounds: a Close that did not wait for the calls under way is caught by the one that
    // finds a reader inside the index's memory view.
    for (int round = 0; round < 8; ++round) {
        ASSERT_TRUE(t.dep.Open(false));
        std::atomic<int> writes{0};
        std::thread closer([&] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (writes < 500 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
            EXPECT_GE(writes, 500);
            EXPECT_TRUE(t.dep.Close());
        });
        RunThreads(8, [&](int w) {
            std::mt19937 rng(500 + w + 8 * round);
            Bytes buf(4096);
            for (uint32_t i = 1;; ++i) {
                const long long slot = i % 4 == 0 ? 205 : 1 + static_cast<long long>(rng() % slotTotal);
                if (w % 2 == 0) {
                    if (!WriteTile(t.dep, slot, MakeTile(slot, i, 20 + static_cast<int>(rng() % 3000)), false)) return;
                    ++writes;
                } else {
                    EXPECT_TRUE(IntactOrNothing(t.dep, slot, buf)) << slot;
                    for (int k = 0; k < 16; ++k) t.dep.GetFileIndexOffset(1 + (slot + k) % slotTotal);  // slot reads only
                    if (!t.dep.IsOpen()) return;
                }
            }
        });
        closer.join();
    }
    Bytes back;
    EXPECT_EQ(ReadTile(t.dep, 1, back), QUERY_DATA_ERROR);
    ASSERT_TRUE(t.dep.Open(true));
    uint32_t seq = 0;
    for (long long slot = 1; slot <= slotTotal; ++slot) ASSERT_TRUE(IntactOrNoData(t.dep, slot, seq)) << slot;
}

// Each record is written whole in one atomic pipe write, so a read gives a whole record or none.
struct Completed { long long slot; uint32_t seq; };
bool ReadRecord(int fd, Completed& r) { return ::read(fd, &r, sizeof r) == static_cast<ssize_t>(sizeof r); }

// A child process writes tiles with flush and reports each completed write; it is killed with
// SIGKILL after a random number of writes, several times. After each kill the depository opens,
// every slot with data holds a complete tile, and no reported write is lost. Then two objects in
// this process and two child processes write the same files at the same time, each its own slots
// with tiles of varied sizes: no writer's bytes land on another's, and the stale record of the end
// left by the killed writers does not matter.
TEST(IdxFileDepositoryConcurrency, KilledWritersAndWritersInSeveralProcessesKeepEveryTile) {
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({1, 2, 3, 4, 5}));
    const long long slotTotal = t.dep.GetMaxIndex();
    t.dep.Close();

    std::map<long long, uint32_t> reported;  // slot -> newest sequence number reported complete
    std::mt19937 rng(2024);
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Child: no test framework from here on, and no clean shutdown at the end.
            ::close(fds[0]);
            CIdxFileDepository dep;
            if (!OpenAt(dep, t.idx)) ::_exit(2);
            std::mt19937 crng(static_cast<unsigned>(round) * 7919u + 1u);
            for (uint32_t i = 1; i < 1000000; ++i) {
                const long long slot = 1 + static_cast<long long>(crng() % static_cast<unsigned>(slotTotal));
                const uint32_t seq = static_cast<uint32_t>(round + 1) * 1000000u + i;
                if (!WriteTile(dep, slot, MakeTile(slot, seq, 20 + static_cast<int>(crng() % 16000)))) ::_exit(3);
                const Completed r{slot, seq};
                if (::write(fds[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) ::_exit(4);
            }
            ::_exit(0);
        }
        ::close(fds[1]);
        const int killAfter = 20 + static_cast<int>(rng() % 300);
        Completed r{};
        for (int i = 0; i < killAfter; ++i) {
            ASSERT_TRUE(ReadRecord(fds[0], r)) << "the writer stopped early";
            reported[r.slot] = r.seq;
        }
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status));
        while (ReadRecord(fds[0], r)) reported[r.slot] = r.seq;  // completed before the kill
        ::close(fds[0]);

        CIdxFileDepository dep;
        ASSERT_TRUE(OpenAt(dep, t.idx));
        for (long long slot = 1; slot <= slotTotal; ++slot) {
            uint32_t seq = 0;
            ASSERT_TRUE(IntactOrNoData(dep, slot, seq)) << "slot " << slot;
            // No reported write is lost, and the next round may only move forward from here.
            ASSERT_GE(seq, reported[slot]) << "lost slot " << slot;
            reported[slot] = seq;
        }
    }

    constexpr int kWriters = 4;  // 0, 1: objects here; 2, 3: child processes
    constexpr uint32_t kPasses = 6;
    auto tileOf = [](long long slot, uint32_t pass) {
        return MakeTile(slot, pass, 100 + static_cast<int>((slot * 37 + pass * 4099) % 20000));
    };
    // Writer w rewrites its slots kPasses times with two threads, once the go byte arrives.
    auto writeShare = [&](CIdxFileDepository& dep, int w) {
        std::atomic<bool> ok{true};
        RunThreads(2, [&](int th) {
            for (uint32_t pass = 1; pass <= kPasses; ++pass) {
                for (long long slot = 1 + w + kWriters * th; slot <= slotTotal; slot += 2 * kWriters) {
                    if (!WriteTile(dep, slot, tileOf(slot, pass), false)) ok = false;
                }
            }
        });
        return ok.load();
    };
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> children;
    for (int w = 2; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(go[1]);
            CIdxFileDepository dep;
            char c = 0;
            if (!OpenAt(dep, t.idx) || ::read(go[0], &c, 1) != 1) ::_exit(2);
            ::_exit(writeShare(dep, w) && dep.Close() ? 0 : 3);
        }
        children.push_back(pid);
    }
    ::close(go[0]);
    CIdxFileDepository other;
    ASSERT_TRUE(OpenAt(other, t.idx) && t.dep.Open(false));
    ASSERT_EQ(::write(go[1], "gg", 2), 2);
    ::close(go[1]);
    std::thread second([&] { EXPECT_TRUE(writeShare(other, 1)); });
    EXPECT_TRUE(writeShare(t.dep, 0));
    second.join();
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    Bytes back;
    for (CIdxFileDepository* reader : {&t.dep, &other}) {
        for (long long slot = 1; slot <= slotTotal; ++slot) ASSERT_TRUE(ReadTile(*reader, slot, back) == QUERY_OK && back == tileOf(slot, kPasses)) << slot;
    }
}

}  // namespace
