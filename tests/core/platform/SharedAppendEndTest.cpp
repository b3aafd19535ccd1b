#include "../CoreTest.h"
#include "core/platform/SharedAppendEnd.h"

#include <cstdio>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The shared record of the file's end, named after its device and inode.
QString record(std::FILE* f) {
    struct stat st {};
    ::fstat(::fileno(f), &st);
    return QString("/dev/shm/vtcore-end-v2-%1-%2").arg(qulonglong(st.st_dev), 0, 16).arg(qulonglong(st.st_ino), 0, 16);
}

}  // namespace

TEST(SharedAppendEnd, AttachmentsToOneFileShareOneEndThatNeverFallsBelowTheFileSize) {
    QTemporaryDir dir;
    const QString data = dir.filePath("data.dat");
    ASSERT_TRUE(touch(data, QByteArray(100, 'x')) && touch(dir.filePath("other.dat"), QByteArray(7, 'y')));
    std::FILE* f = std::fopen(data.toLocal8Bit().constData(), "ab");
    std::FILE* g = std::fopen(data.toLocal8Bit().constData(), "ab");
    std::FILE* other = std::fopen(dir.filePath("other.dat").toLocal8Bit().constData(), "ab");
    ASSERT_TRUE(f && g && other);
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
        EXPECT_TRUE(QFileInfo::exists(record(f)));
    }
    EXPECT_FALSE(QFileInfo::exists(record(f)));  // the last user removed it: a crashed user's record is never trusted
    VtSharedAppendEnd again;
    ASSERT_TRUE(again.Attach(f));
    EXPECT_EQ(again.Claim(0), 125);
    again.Detach();
    EXPECT_FALSE(again.Attached());
    for (std::FILE* file : {f, g, other}) std::fclose(file);
}

// Users killed while attached leave their records behind; the next attachment anywhere removes
// those, and only those: a record someone holds stays.
TEST(SharedAppendEnd, AttachingRemovesTheRecordsOfKilledUsersOnly) {
    QTemporaryDir dir;
    std::FILE* files[3] = {};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(touch(dir.filePath(QString::number(i)), QByteArray(10, 'x')));
        files[i] = std::fopen(dir.filePath(QString::number(i)).toLocal8Bit().constData(), "ab");
        ASSERT_TRUE(files[i]);
    }
    VtSharedAppendEnd held;
    ASSERT_TRUE(held.Attach(files[0]));
    for (std::FILE* f : {files[0], files[1]}) {  // the killed user of a held record and of a free one
        const pid_t pid = ::fork();
        if (pid == 0) {
            VtSharedAppendEnd user;
            ::_exit(user.Attach(f) ? 0 : 1);  // without detaching, as when killed
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_TRUE(QFileInfo::exists(record(files[1])));
    VtSharedAppendEnd next;
    ASSERT_TRUE(next.Attach(files[2]));
    EXPECT_FALSE(QFileInfo::exists(record(files[1])));
    EXPECT_TRUE(QFileInfo::exists(record(files[0])) && QFileInfo::exists(record(files[2])));
    EXPECT_EQ(held.Claim(1), 10);  // the held record is still the one shared
    next.Detach();
    held.Detach();
    EXPECT_FALSE(QFileInfo::exists(record(files[0])) || QFileInfo::exists(record(files[2])));
    for (std::FILE* f : files) std::fclose(f);
}
