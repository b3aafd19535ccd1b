#include "storage/IdxFileDepository.h"

#include "DepositoryTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <random>
#include <set>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vt_depository_test;

namespace {

constexpr int kWriters = 8;
constexpr int kReaders = 3;
constexpr int kWritesPerThread = 3000;
constexpr long long kSharedSlots = 8;  // rewritten by every writer

// Eight writers rewrite tiles while three readers read them: readers only ever see complete tiles,
// and afterwards every slot holds exactly its last write.
TEST(IdxFileDepositoryConcurrency, ParallelWritersAndReadersKeepEveryTileIntact) {
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({1, 2, 3, 4, 5, 6}));
    const long long slotTotal = t.dep.GetMaxIndex();
    ASSERT_EQ(slotTotal, 1365);

    std::atomic<bool> writing{true};
    std::atomic<long long> torn{0}, reads{0}, bytesWritten{0};
    std::atomic<int> failedWrites{0};
    // Per writer: the last sequence number and length written to each slot it owns, and every
    // sequence number it wrote to the shared slots.
    std::vector<std::map<long long, std::pair<uint32_t, int>>> last(kWriters);
    std::vector<std::map<long long, std::set<uint32_t>>> sharedWrites(kWriters);

    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            std::mt19937 rng(100 + w);
            for (int i = 0; i < kWritesPerThread; ++i) {
                const uint32_t seq = static_cast<uint32_t>(w) * 1000000u + static_cast<uint32_t>(i) + 1;
                long long slot = 1 + static_cast<long long>(rng() % kSharedSlots);
                // Nine writes in ten go to slots above the shared ones, owned by this writer alone.
                while (i % 10 != 0 && (slot <= kSharedSlots || slot % kWriters != w)) {
                    slot = kSharedSlots + 1 + static_cast<long long>(rng() % (slotTotal - kSharedSlots));
                }
                const Bytes tile = MakeTile(slot, seq, 20 + static_cast<int>(rng() % 3000));
                if (!WriteTile(t.dep, slot, tile, i % 50 == 0)) {
                    ++failedWrites;
                    continue;
                }
                bytesWritten += static_cast<long long>(tile.size());
                if (slot <= kSharedSlots) {
                    sharedWrites[static_cast<size_t>(w)][slot].insert(seq);
                } else {
                    last[static_cast<size_t>(w)][slot] = {seq, static_cast<int>(tile.size())};
                }
            }
        });
    }
    for (int r = 0; r < kReaders; ++r) {
        threads.emplace_back([&, r] {
            std::mt19937 rng(900 + r);
            Bytes buf(4096), tile;
            while (writing) {
                const long long slot = 1 + static_cast<long long>(rng() % slotTotal);
                uint32_t seq = 0;
                if (r == 0) {  // the caller's buffer form
                    const int n = t.dep.ReadBuffer(slot, buf.data(), static_cast<int>(buf.size()));
                    if (n > 0 && !IsIntactTile(Bytes(buf.begin(), buf.begin() + n), slot, seq)) ++torn;
                } else {
                    const E_QUERY_RESULT result = ReadTile(t.dep, slot, tile);
                    if (result == QUERY_OK ? !IsIntactTile(tile, slot, seq) : result != QUERY_NO_DATA) ++torn;
                }
                ++reads;
            }
        });
    }
    for (int w = 0; w < kWriters; ++w) threads[static_cast<size_t>(w)].join();
    writing = false;
    for (size_t i = kWriters; i < threads.size(); ++i) threads[i].join();

    EXPECT_EQ(failedWrites, 0);
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    ASSERT_TRUE(t.dep.Close());
    EXPECT_EQ(static_cast<long long>(ReadFile(t.dat).size()), 100 + bytesWritten.load());

    CIdxFileDepository reopened;
    reopened.SetIndexFile(t.idx);
    ASSERT_TRUE(reopened.Open(true));
    std::map<long long, std::pair<uint32_t, int>> expected;
    std::map<long long, std::set<uint32_t>> shared;
    for (int w = 0; w < kWriters; ++w) {
        expected.insert(last[static_cast<size_t>(w)].begin(), last[static_cast<size_t>(w)].end());
        for (const auto& s : sharedWrites[static_cast<size_t>(w)]) shared[s.first].insert(s.second.begin(), s.second.end());
    }
    for (long long slot = 1; slot <= slotTotal; ++slot) {
        Bytes tile;
        const E_QUERY_RESULT result = ReadTile(reopened, slot, tile);
        const auto it = expected.find(slot);
        if (slot > kSharedSlots && it == expected.end()) {
            ASSERT_EQ(result, QUERY_NO_DATA) << slot;
            continue;
        }
        uint32_t seq = 0;
        ASSERT_EQ(result, QUERY_OK) << slot;
        ASSERT_TRUE(IsIntactTile(tile, slot, seq)) << slot;
        if (slot <= kSharedSlots) {
            EXPECT_EQ(shared[slot].count(seq), 1u) << slot;  // written by several threads: one of their tiles
        } else {
            EXPECT_EQ(std::make_pair(seq, static_cast<int>(tile.size())), it->second) << slot;
        }
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
    std::atomic<bool> writing{true};
    std::atomic<long long> torn{0}, reads{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < 2; ++w) {
        threads.emplace_back([&, w] {
            for (uint32_t i = 1; i <= 20000; ++i) {
                const long long slot = crossing[(i + static_cast<uint32_t>(w)) % 2];
                EXPECT_TRUE(WriteTile(t.dep, slot, MakeTile(slot, i, 20 + static_cast<int>(i % 7) * 11), false));
            }
        });
    }
    for (int r = 0; r < 2; ++r) {
        threads.emplace_back([&, r] {
            Bytes buf(256);
            for (uint32_t i = 0; writing; ++i) {
                const long long slot = crossing[(i + static_cast<uint32_t>(r)) % 2];
                const int n = t.dep.ReadBuffer(slot, buf.data(), static_cast<int>(buf.size()));
                uint32_t seq = 0;
                if (n > 0 && !IsIntactTile(Bytes(buf.begin(), buf.begin() + n), slot, seq)) ++torn;
                ++reads;
            }
        });
    }
    threads[0].join();
    threads[1].join();
    writing = false;
    threads[2].join();
    threads[3].join();
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
}

// Tiles written into one half of a level while another thread keeps setting the states of the
// other half: the state changes never take a tile away from a slot they do not select.
TEST(IdxFileDepositoryConcurrency, StateChangesKeepTilesOfSlotsTheyDoNotSelect) {
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({1, 2, 3, 4, 5, 6}));
    // Level 6 is 32 x 32 tiles from slot 342 on; the western half is columns 0 to 15.
    const EXTENT west{-180.0, -85.0, -0.001, 85.0};
    auto eastern = [](long long slot) { return (slot - 342) % 32 >= 16; };
    std::atomic<bool> writing{true};
    std::atomic<int> failed{0};
    std::vector<std::map<long long, Bytes>> last(4);
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([&, w] {
            std::mt19937 rng(300 + w);
            for (uint32_t i = 1; i <= 1500; ++i) {
                long long slot = 0;
                do {
                    slot = 342 + static_cast<long long>(rng() % 1024);
                } while (!eastern(slot) || slot % 4 != w);
                Bytes tile = MakeTile(slot, i, 20 + static_cast<int>(rng() % 2000));
                if (!WriteTile(t.dep, slot, tile, false)) ++failed;
                last[static_cast<size_t>(w)][slot] = std::move(tile);
            }
        });
    }
    std::thread marker([&] {
        bool waiting = true;
        while (writing) {
            if (!t.dep.SetIndexStatusViaExtent(west, waiting ? BLOCK_WAITING : BLOCK_DAMAGED, true, false)) ++failed;
            waiting = !waiting;
        }
    });
    for (std::thread& w : writers) w.join();
    writing = false;
    marker.join();
    EXPECT_EQ(failed, 0);
    for (const auto& owned : last) {
        for (const auto& slotTile : owned) {
            Bytes back;
            ASSERT_EQ(ReadTile(t.dep, slotTile.first, back), QUERY_OK) << slotTile.first;
            ASSERT_EQ(back, slotTile.second) << slotTile.first;
        }
    }
    for (long long slot = 342; slot < 342 + 1024; ++slot) {
        if (eastern(slot)) continue;
        const ENUM_BLOCK_STATE state = t.dep.GetFileIndexStatus(slot);
        ASSERT_TRUE(state == BLOCK_WAITING || state == BLOCK_DAMAGED) << slot;
    }
}

// Close while eight threads write and read: it waits for the calls under way, later calls fail
// cleanly, and the files reopen with every slot holding a complete tile.
TEST(IdxFileDepositoryConcurrency, CloseWhileWritingAndReading) {
    TempDepository t;
    ASSERT_TRUE(t.CreateOpen({1, 2, 3, 4, 5}));
    const long long slotTotal = t.dep.GetMaxIndex();
    std::atomic<int> writes{0};
    std::vector<std::thread> threads;
    for (int w = 0; w < 8; ++w) {
        threads.emplace_back([&, w] {
            std::mt19937 rng(500 + w);
            Bytes buf(4096);
            for (uint32_t i = 1;; ++i) {
                const long long slot = 1 + static_cast<long long>(rng() % slotTotal);
                if (w % 2 == 0) {
                    if (!WriteTile(t.dep, slot, MakeTile(slot, i, 20 + static_cast<int>(rng() % 3000)), false)) return;
                    ++writes;
                } else {
                    const int n = t.dep.ReadBuffer(slot, buf.data(), static_cast<int>(buf.size()));
                    uint32_t seq = 0;
                    EXPECT_TRUE(n <= 0 || IsIntactTile(Bytes(buf.begin(), buf.begin() + n), slot, seq)) << slot;
                    if (!t.dep.IsOpen()) return;
                }
            }
        });
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (writes < 2000 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    EXPECT_GE(writes, 2000);
    EXPECT_TRUE(t.dep.Close());
    for (std::thread& th : threads) th.join();
    Bytes back;
    EXPECT_EQ(ReadTile(t.dep, 1, back), QUERY_DATA_ERROR);

    ASSERT_TRUE(t.dep.Open(true));
    for (long long slot = 1; slot <= slotTotal; ++slot) {
        const E_QUERY_RESULT result = ReadTile(t.dep, slot, back);
        uint32_t seq = 0;
        ASSERT_TRUE(result == QUERY_NO_DATA || (result == QUERY_OK && IsIntactTile(back, slot, seq))) << slot;
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
            Bytes tile;
            const E_QUERY_RESULT result = ReadTile(dep, slot, tile);
            const auto it = reported.find(slot);
            if (result == QUERY_NO_DATA) {
                ASSERT_TRUE(it == reported.end()) << "lost slot " << slot;
                continue;
            }
            ASSERT_EQ(result, QUERY_OK) << "slot " << slot;
            uint32_t seq = 0;
            ASSERT_TRUE(IsIntactTile(tile, slot, seq)) << "slot " << slot;
            if (it != reported.end()) {
                ASSERT_GE(seq, it->second) << "slot " << slot;
            }
            reported[slot] = seq;  // the next round may only move forward from here
        }
    }
}

}  // namespace
