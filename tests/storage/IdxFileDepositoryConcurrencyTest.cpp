#include "storage/IdxFileDepository.h"

#include "DepositoryTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <random>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vt_depository_test;

namespace {

// Runs `writers` writer threads and `readers` reader threads; readers loop while `writing` holds,
// which turns false when the last writer ends.
template <typename Write, typename Read>
void WriteWhileReading(int writers, int readers, Write write, Read read) {
    std::atomic<int> left{writers};
    std::atomic<bool> writing{true};
    RunThreads(writers + readers, [&](int i) {
        if (i >= writers) {
            for (uint32_t n = 0; writing; ++n) read(i - writers, n);
        } else {
            write(i);
            if (--left == 0) writing = false;
        }
    });
}

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

// Eight writers rewrite tiles while three readers read them: readers only ever see complete tiles,
// and afterwards every slot holds exactly its last write.
TEST(IdxFileDepositoryConcurrency, ParallelWritersAndReadersKeepEveryTileIntact) {
    constexpr int kWriters = 8;
    constexpr long long kShared = 8;  // slots rewritten by every writer
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({1, 2, 3, 4, 5, 6}));
    const long long slotTotal = t.dep.GetMaxIndex();
    std::atomic<long long> torn{0}, bytesWritten{0};
    std::atomic<int> failedWrites{0};
    // The last sequence number written to each slot above the shared ones (each has one writer).
    std::vector<uint32_t> last(static_cast<size_t>(slotTotal) + 1, 0);
    WriteWhileReading(
        kWriters, 3,
        [&](int w) {
            std::mt19937 rng(100 + w);
            for (int i = 0; i < 3000; ++i) {
                const uint32_t seq = static_cast<uint32_t>(w) * 1000000u + static_cast<uint32_t>(i) + 1;
                long long slot = 1 + static_cast<long long>(rng() % kShared);
                // Nine writes in ten go to slots above the shared ones, owned by this writer alone.
                while (i % 10 != 0 && (slot <= kShared || slot % kWriters != w)) {
                    slot = kShared + 1 + static_cast<long long>(rng() % (slotTotal - kShared));
                }
                const Bytes tile = MakeTile(slot, seq, 20 + static_cast<int>(rng() % 3000));
                if (!WriteTile(t.dep, slot, tile, i % 50 == 0)) {
                    ++failedWrites;
                    continue;
                }
                bytesWritten += static_cast<long long>(tile.size());
                if (slot > kShared) last[size_t(slot)] = seq;
            }
        },
        [&](int r, uint32_t n) {
            Bytes buf(4096);
            uint32_t seq = 0;
            const long long slot = 1 + static_cast<long long>((n * 2654435761u + static_cast<uint32_t>(r)) % slotTotal);
            torn += (r == 0 ? IntactOrNothing(t.dep, slot, buf) : IntactOrNoData(t.dep, slot, seq)) ? 0 : 1;
        });
    EXPECT_EQ(failedWrites, 0);
    EXPECT_EQ(torn, 0);
    ASSERT_TRUE(t.dep.Close());
    EXPECT_EQ(static_cast<long long>(ReadFile(t.dat).size()), 100 + bytesWritten.load());

    CIdxFileDepository reopened;
    reopened.SetIndexFile(t.idx);
    ASSERT_TRUE(reopened.Open(true));
    // Every slot holds a complete tile of its own (a tile names its slot): a shared slot one of the
    // writers' tiles, any other its last write, or nothing when it was never written.
    for (long long slot = 1; slot <= slotTotal; ++slot) {
        uint32_t seq = 0;
        ASSERT_TRUE(IntactOrNoData(reopened, slot, seq)) << slot;
        EXPECT_TRUE(slot <= kShared ? seq != 0 : seq == last[size_t(slot)]) << slot << ": " << seq;
    }
}

// Slots whose 12-byte offset and length cross a page of the index are written in two pieces by
// the file system; readers of those slots still see either the old or the new tile, never a mix.
TEST(IdxFileDepositoryConcurrency, ReadersNeverSeeASlotHalfWritten) {
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({1, 2, 3, 4, 5, 6}));
    // Slot 205 has its offset in the first page and its length in the second; slot 410's offset
    // itself spans the second and third.
    const long long crossing[] = {205, 410};
    std::atomic<long long> torn{0};
    WriteWhileReading(
        2, 2,
        [&](int w) {
            for (uint32_t i = 1; i <= 20000; ++i) {
                const long long slot = crossing[(i + static_cast<uint32_t>(w)) % 2];
                EXPECT_TRUE(WriteTile(t.dep, slot, MakeTile(slot, i, 20 + static_cast<int>(i % 7) * 11), false));
            }
        },
        [&](int r, uint32_t n) {
            Bytes buf(256);
            torn += IntactOrNothing(t.dep, crossing[(n + static_cast<uint32_t>(r)) % 2], buf) ? 0 : 1;
        });
    EXPECT_EQ(torn, 0);
}

// Tiles written into one half of a level while another thread keeps setting the states of the
// other half: the state changes never take a tile away from a slot they do not select.
TEST(IdxFileDepositoryConcurrency, StateChangesKeepTilesOfSlotsTheyDoNotSelect) {
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({1, 2, 3, 4, 5, 6}));
    // Level 6 is 32 x 32 tiles from slot 342 on; the western half is columns 0 to 15.
    const EXTENT west{-180.0, -85.0, -0.001, 85.0};
    auto eastern = [](long long slot) { return (slot - 342) % 32 >= 16; };
    std::atomic<int> failed{0};
    std::vector<Bytes> last(342 + 1024);  // the last tile of each eastern slot (each has one writer)
    WriteWhileReading(
        4, 1,
        [&](int w) {
            std::mt19937 rng(300 + w);
            for (uint32_t i = 1; i <= 1500; ++i) {
                long long slot = 0;
                do slot = 342 + static_cast<long long>(rng() % 1024);
                while (!eastern(slot) || slot % 4 != w);
                Bytes tile = MakeTile(slot, i, 20 + static_cast<int>(rng() % 2000));
                if (!WriteTile(t.dep, slot, tile, false)) ++failed;
                last[size_t(slot)] = std::move(tile);
            }
        },
        [&](int, uint32_t n) {
            if (!t.dep.SetIndexStatusViaExtent(west, n % 2 ? BLOCK_DAMAGED : BLOCK_WAITING, true, false)) ++failed;
        });
    EXPECT_EQ(failed, 0);
    for (long long slot = 342; slot < 342 + 1024; ++slot) {
        const ENUM_BLOCK_STATE state = t.dep.GetFileIndexStatus(slot);
        Bytes back;
        ASSERT_TRUE(eastern(slot) ? ReadTile(t.dep, slot, back) == (last[size_t(slot)].empty() ? QUERY_NO_DATA : QUERY_OK)
                                  : state == BLOCK_WAITING || state == BLOCK_DAMAGED) << slot;
        ASSERT_EQ(back, last[size_t(slot)]) << slot;
    }
}

// Close while eight threads write and read: it waits for the calls under way, later calls fail
// cleanly, and the files reopen with every slot holding a complete tile.
TEST(IdxFileDepositoryConcurrency, CloseWhileWritingAndReading) {
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({1, 2, 3, 4, 5}));
    const long long slotTotal = t.dep.GetMaxIndex();
    std::atomic<int> writes{0};
    std::thread closer([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (writes < 2000 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        EXPECT_GE(writes, 2000);
        EXPECT_TRUE(t.dep.Close());
    });
    RunThreads(8, [&](int w) {
        std::mt19937 rng(500 + w);
        Bytes buf(4096);
        for (uint32_t i = 1;; ++i) {
            const long long slot = 1 + static_cast<long long>(rng() % slotTotal);
            if (w % 2 == 0) {
                if (!WriteTile(t.dep, slot, MakeTile(slot, i, 20 + static_cast<int>(rng() % 3000)), false)) return;
                ++writes;
            } else {
                EXPECT_TRUE(IntactOrNothing(t.dep, slot, buf)) << slot;
                if (!t.dep.IsOpen()) return;
            }
        }
    });
    closer.join();
    Bytes back;
    EXPECT_EQ(ReadTile(t.dep, 1, back), QUERY_DATA_ERROR);
    ASSERT_TRUE(t.dep.Open(true));
    uint32_t seq = 0;
    for (long long slot = 1; slot <= slotTotal; ++slot) ASSERT_TRUE(IntactOrNoData(t.dep, slot, seq)) << slot;
}

// Two objects in this process and two child processes write the same files at the same time,
// each its own slots with tiles of varied sizes: no writer's bytes land on another's, and a
// stale record of the end left by an earlier writer that was killed does not matter.
TEST(IdxFileDepositoryConcurrency, WritersInSeveralObjectsAndProcessesNeverOverwriteEachOthersTiles) {
    constexpr int kWriters = 4;  // 0, 1: objects here; 2, 3: child processes
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({1, 2, 3, 4, 5}));
    const long long slotTotal = t.dep.GetMaxIndex();
    constexpr uint32_t kPasses = 6;
    auto tileOf = [](long long slot, uint32_t pass) {
        return MakeTile(slot, pass, 100 + static_cast<int>((slot * 37 + pass * 4099) % 20000));
    };
    // Writer w rewrites its slots kPasses times with two threads, once the go byte arrives.
    auto writeShare = [&](CIdxFileDepository& dep, int w) {
        std::atomic<bool> ok{true};
        std::vector<std::thread> threads;
        for (int th = 0; th < 2; ++th) {
            threads.emplace_back([&, th] {
                for (uint32_t pass = 1; pass <= kPasses; ++pass) {
                    for (long long slot = 1 + w + kWriters * th; slot <= slotTotal; slot += 2 * kWriters) {
                        if (!WriteTile(dep, slot, tileOf(slot, pass), false)) ok = false;
                    }
                }
            });
        }
        for (std::thread& th : threads) th.join();
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
            dep.SetIndexFile(t.idx);
            char c = 0;
            if (!dep.Open(false) || ::read(go[0], &c, 1) != 1) ::_exit(2);
            ::_exit(writeShare(dep, w) && dep.Close() ? 0 : 3);
        }
        children.push_back(pid);
    }
    ::close(go[0]);
    CIdxFileDepository other;
    other.SetIndexFile(t.idx);
    ASSERT_TRUE(other.Open(false));
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
    for (CIdxFileDepository* reader : {&t.dep, &other}) {
        for (long long slot = 1; slot <= slotTotal; ++slot) {
            Bytes back;
            ASSERT_TRUE(ReadTile(*reader, slot, back) == QUERY_OK && back == tileOf(slot, kPasses)) << slot;
        }
    }
}

struct Completed {
    long long slot;
    uint32_t seq;
};

// Reads whole records from the pipe; false at its end.
bool ReadRecord(int fd, Completed& r) {
    size_t got = 0;
    char* p = reinterpret_cast<char*>(&r);
    while (got < sizeof r) {
        const ssize_t n = ::read(fd, p + got, sizeof r - got);
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

// A child process writes tiles with flush and reports each completed write; it is killed with
// SIGKILL after a random number of writes, several times. After each kill the depository opens,
// every slot with data holds a complete tile, and no reported write is lost.
TEST(IdxFileDepositoryCrash, KilledWriterLeavesOnlyCompleteTiles) {
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
            dep.SetIndexFile(t.idx);
            if (!dep.Open(false)) ::_exit(2);
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
        dep.SetIndexFile(t.idx);
        ASSERT_TRUE(dep.Open(false));
        for (long long slot = 1; slot <= slotTotal; ++slot) {
            uint32_t seq = 0;
            const auto it = reported.find(slot);
            ASSERT_TRUE(IntactOrNoData(dep, slot, seq)) << "slot " << slot;
            // No reported write is lost, and the next round may only move forward from here.
            if (it != reported.end()) {
                ASSERT_GE(seq, it->second) << "lost slot " << slot;
            }
            if (seq != 0) reported[slot] = seq;
        }
    }
}

}  // namespace
