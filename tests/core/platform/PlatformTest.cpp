#include "../CoreTest.h"
#include "core/platform/Platform.h"

#include <array>
#include <memory>

TEST(Platform, MemoryCountersFollowTouchedAndReservedMemoryCpuidIsThisMachines) {
    std::uint64_t before = 0;
    ASSERT_TRUE(GetVtPlatform().WorkingSetBytes(before));
    EXPECT_GT(before, 0u);
    // 64 MiB written page by page must become resident; allow the allocator and the kernel half of it.
    constexpr std::size_t kBytes = 64u << 20;
    std::unique_ptr<char[]> block(new char[kBytes]);
    for (std::size_t i = 0; i < kBytes; i += 4096) block[i] = static_cast<char>(i);
    std::uint64_t after = 0;
    ASSERT_TRUE(GetVtPlatform().WorkingSetBytes(after));
    EXPECT_GT(after, before + kBytes / 2);
    EXPECT_NE(block[4096], 1);  // keeps the writes

    ASSERT_TRUE(GetVtPlatform().AvailableVirtualBytes(before));
    std::vector<std::unique_ptr<char[]>> reserved;
    reserved.emplace_back(new char[4 * kBytes]);  // never touched
    ASSERT_TRUE(GetVtPlatform().AvailableVirtualBytes(after));
    EXPECT_LE(after + 2 * kBytes, before);

    std::array<std::uint32_t, 4> regs{}, beyond{};
    if (!GetVtPlatform().Cpuid(0, regs)) GTEST_SKIP() << "no processor identification instruction";
    EXPECT_GE(regs[0], 1u);  // leaf zero names the highest leaf
    EXPECT_FALSE(GetVtPlatform().Cpuid(regs[0] + 1, beyond));
    EXPECT_EQ(beyond[0], 0u);
}
