#include "../CoreTest.h"
#include "core/platform/SharedAppendEnd.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <sys/stat.h>

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
