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

TEST(SharedAppendEnd, AttachmentsToOneFileShareOneEndNeverBelowItsSizeAttachingRemovesKilledUsersRecordsOnly) {
    QTemporaryDir dir;
    const QString data = dir.filePath("data.dat");
    ASSERT_TRUE(touch(data, QByteArray(100, 'x')) && touch(dir.filePath("other.dat"), QByteArray(7, 'y')) &&
                touch(dir.filePath("third.dat"), QByteArray(10, 'z')));
    std::FILE* f = std::fopen(data.toLocal8Bit().constData(), "ab");
    std::FILE* g = std::fopen(data.toLocal8Bit().constData(), "ab");
    std::FILE* other = std::fopen(dir.filePath("other.dat").toLocal8Bit().constData(), "ab");
    std::FILE* third = std::fopen(dir.filePath("third.dat").toLocal8Bit().constData(), "ab");
    ASSERT_TRUE(f && g && other && third);
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
    // Users killed while attached leave their records behind; the next attachment anywhere removes
    // those, and only those: a record someone holds stays.
    VtSharedAppendEnd held;
    ASSERT_TRUE(held.Attach(f));
    EXPECT_EQ(held.Claim(0), 125);
    for (std::FILE* file : {f, other}) {  // the killed user of a held record and of a free one
        const pid_t pid = ::fork();
        if (pid == 0) {
            VtSharedAppendEnd user;
            ::_exit(user.Attach(file) ? 0 : 1);  // without detaching, as when killed
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_TRUE(QFileInfo::exists(record(other)));
    VtSharedAppendEnd next;
    ASSERT_TRUE(next.Attach(third));
    EXPECT_FALSE(QFileInfo::exists(record(other)));
    EXPECT_TRUE(QFileInfo::exists(record(f)) && QFileInfo::exists(record(third)));
    EXPECT_EQ(held.Claim(1), 125);  // the held record is still the one shared
    next.Detach();
    held.Detach();
    EXPECT_FALSE(held.Attached());
    EXPECT_FALSE(QFileInfo::exists(record(f)) || QFileInfo::exists(record(third)));
    for (std::FILE* file : {f, g, other, third}) std::fclose(file);
}
