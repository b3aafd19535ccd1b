#include "../CoreTest.h"
#include "core/platform/Platform.h"
#include "core/platform/RegistryFile.h"
#include "core/platform/SharedAppendEnd.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTextCodec>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

#include <sys/stat.h>

namespace {

const char* const kKey = "HKEY_CLASSES_ROOT\\CLSID\\{74a777f8-7a8f-4e7c-af47-7074828086e2}\\InprocServer32";

}  // namespace

TEST(RegistryFile, ReadsDefaultValuesOfAnsiAndUtf16ExportsAndTellsFailuresApart) {
    const QByteArray header = "Windows Registry Editor Version 5.00\r\n\r\n", section = QByteArray("[") + kKey + "]\r\n";
    const struct Row {
        const char* what;
        QByteArray content;  // null: no file at all
        IVtPlatform::E_REGISTRY_RESULT result;
        std::string value;
    } rows[] = {
        {"escaped backslashes", header + section + "@=\"C:\\\\P\\\\Bin\\\\MxDrawX.ocx\"\r\n", IVtPlatform::REGISTRY_OK, "C:\\P\\Bin\\MxDrawX.ocx"},
        {"key names without case, named values skipped, escaped quote",
         header + "[hkey_classes_root\\clsid\\{74A777F8-7A8F-4E7C-AF47-7074828086E2}\\inprocserver32]\n"
                  "\"ThreadingModel\"=\"Apartment\"\n@=\"a\\\"b\"\n", IVtPlatform::REGISTRY_OK, "a\"b"},
        {"another key only", header + "[HKEY_CLASSES_ROOT\\CLSID\\{other}]\n@=\"x\"\n", IVtPlatform::REGISTRY_OPEN_FAILED, ""},
        {"no default", header + section + "\"ThreadingModel\"=\"Both\"\n[HKEY_CLASSES_ROOT\\X]\n@=\"x\"\n", IVtPlatform::REGISTRY_READ_FAILED, ""},
        {"not a string", header + section + "@=dword:00000001\n", IVtPlatform::REGISTRY_READ_FAILED, ""},
        {"unterminated", header + section + "@=\"C:\\\\P\n", IVtPlatform::REGISTRY_READ_FAILED, ""},
        {"fills the buffer with its terminator", header + section + "@=\"" + QByteArray(1023, 'a') + "\"\n", IVtPlatform::REGISTRY_OK, std::string(1023, 'a')},
        {"one byte more", header + section + "@=\"" + QByteArray(1024, 'a') + "\"\n", IVtPlatform::REGISTRY_READ_FAILED, ""},
        {"garbage", QByteArray("\x00\xff\x13[\x01", 5), IVtPlatform::REGISTRY_OPEN_FAILED, ""},
        {"missing", QByteArray(), IVtPlatform::REGISTRY_OPEN_FAILED, ""},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("registry.reg");
    for (const Row& row : rows) {
        QFile::remove(path);
        ASSERT_TRUE(row.content.isNull() || touch(path, row.content));
        std::string value = "stale";
        EXPECT_EQ(ReadRegistryFileDefault(path, kKey, 1024, value), row.result) << row.what;
        EXPECT_EQ(value, row.value) << row.what;
    }
    // UTF-16 exports with a byte-order mark.
    const QString text = QString("Windows Registry Editor Version 5.00\r\n\r\n[") + kKey + "]\r\n@=\"D:\\\\数据\\\\x.ocx\"\r\n";
    QByteArray bytes("\xff\xfe", 2);
    bytes += QTextCodec::codecForName("UTF-16LE")->fromUnicode(text);
    std::string value;
    ASSERT_TRUE(touch(path, bytes));
    ASSERT_EQ(ReadRegistryFileDefault(path, kKey, 1024, value), IVtPlatform::REGISTRY_OK);
    EXPECT_EQ(QString::fromLocal8Bit(value.c_str()), QString::fromUtf8("D:\\数据\\x.ocx"));
}

TEST(Platform, MemoryCountersFollowTouchedAndReservedMemoryTheExecutableAndCpuidAreThisMachines) {
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

    const QString path = QString::fromStdString(GetVtPlatform().ExecutablePath());
    EXPECT_EQ(QFileInfo(path).canonicalFilePath(), QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
    std::array<std::uint32_t, 4> regs{}, beyond{};
    if (!GetVtPlatform().Cpuid(0, regs)) GTEST_SKIP() << "no processor identification instruction";
    EXPECT_GE(regs[0], 1u);  // leaf zero names the highest leaf
    EXPECT_FALSE(GetVtPlatform().Cpuid(regs[0] + 1, beyond));
    EXPECT_EQ(beyond[0], 0u);
}

TEST(SharedAppendEnd, AttachmentsToOneFileShareOneEndThatNeverFallsBelowTheFileSize) {
    QTemporaryDir dir;
    const QString data = dir.filePath("data.dat");
    ASSERT_TRUE(touch(data, QByteArray(100, 'x')) && touch(dir.filePath("other.dat"), QByteArray(7, 'y')));
    std::FILE* f = std::fopen(data.toLocal8Bit().constData(), "ab");
    std::FILE* g = std::fopen(data.toLocal8Bit().constData(), "ab");
    std::FILE* other = std::fopen(dir.filePath("other.dat").toLocal8Bit().constData(), "ab");
    ASSERT_TRUE(f && g && other);
    struct stat st {};
    ASSERT_EQ(::fstat(::fileno(f), &st), 0);
    char name[64];
    std::snprintf(name, sizeof name, "vtcore-end-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    const auto recordExists = [&] { return QFileInfo::exists(QString("/dev/shm/") + name); };
    {
        VtSharedAppendEnd a, b;
        EXPECT_FALSE(a.Attach(nullptr));
        ASSERT_TRUE(a.Attach(f));
        EXPECT_EQ(a.Claim(10), 100);  // from the file's size
        ASSERT_EQ(std::fwrite("12345", 1, 5, g), 5u);  // appended past the shared end another way
        ASSERT_EQ(std::fflush(g), 0);
        ASSERT_TRUE(b.Attach(g));     // the second user raises the end to the size it sees, no lower
        EXPECT_EQ(a.Claim(1), 110);
        ASSERT_EQ(std::fwrite(std::string(20, 'z').data(), 1, 20, g), 20u);
        ASSERT_EQ(std::fflush(g), 0);
        ASSERT_TRUE(b.Attach(g));     // re-attaching: the file is now 125 bytes
        EXPECT_EQ(b.Claim(4), 125);
        a.RaiseTo(50);                // never lowered
        b.RaiseTo(200);
        EXPECT_EQ(a.Claim(0), 200);
        ASSERT_TRUE(a.Attach(other));  // another file has its own end; b keeps the first file's
        EXPECT_EQ(a.Claim(0), 7);
        EXPECT_EQ(b.Claim(0), 200);
        EXPECT_TRUE(recordExists());
    }
    EXPECT_FALSE(recordExists());  // the last user removed it: a crashed user's record is never trusted
    VtSharedAppendEnd again;
    ASSERT_TRUE(again.Attach(f));
    EXPECT_EQ(again.Claim(0), 125);
    again.Detach();
    EXPECT_FALSE(again.Attached());
    for (std::FILE* file : {f, g, other}) std::fclose(file);
}
