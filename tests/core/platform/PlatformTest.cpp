#include "core/platform/Platform.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

TEST(Platform, ExecutablePathIsThisProgram) {
    const QString path = QString::fromStdString(GetVtPlatform().ExecutablePath());
    EXPECT_EQ(QFileInfo(path).canonicalFilePath(), QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
}

TEST(Platform, WorkingSetGrowsWhenMemoryIsTouched) {
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
}

TEST(Platform, AvailableAddressSpaceShrinksByAReservation) {
    std::uint64_t before = 0;
    ASSERT_TRUE(GetVtPlatform().AvailableVirtualBytes(before));
    std::vector<std::unique_ptr<char[]>> blocks;
    constexpr std::size_t kBytes = 256u << 20;  // reserved, never touched
    blocks.emplace_back(new char[kBytes]);
    std::uint64_t after = 0;
    ASSERT_TRUE(GetVtPlatform().AvailableVirtualBytes(after));
    EXPECT_LE(after + kBytes / 2, before);
}

TEST(Platform, CpuidLeafZeroNamesTheHighestLeaf) {
    std::array<std::uint32_t, 4> regs{};
    if (!GetVtPlatform().Cpuid(0, regs)) GTEST_SKIP() << "no processor identification instruction";
    EXPECT_GE(regs[0], 1u);
    std::array<std::uint32_t, 4> beyond{};
    EXPECT_FALSE(GetVtPlatform().Cpuid(regs[0] + 1, beyond));
    EXPECT_EQ(beyond[0], 0u);
}
