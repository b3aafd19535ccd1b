#include "../CoreTest.h"
#include "core/platform/MappedFile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::FILE* OpenRead(const QString& path) { return std::fopen(path.toLocal8Bit().constData(), "rb"); }

}  // namespace

TEST(MappedFile, ShowsWritesAndTurnsACutIntoAFailedCopyUntilTheFileGrowsBack) {
    QTemporaryDir dir;
    const QString path = dir.filePath("index");
    const QByteArray bytes = QByteArray(3 * 4096, 'a') + QByteArray(100, 'b');
    ASSERT_TRUE(touch(path, bytes) && touch(dir.filePath("empty"), QByteArray()));
    std::FILE* f = OpenRead(path);
    std::FILE* empty = OpenRead(dir.filePath("empty"));
    ASSERT_TRUE(f && empty);
    VtMappedFile view(LLONG_MAX);  // trusts the size it mapped: a cut shows as a fault
    VtMappedFile asked(0);         // asks the size before every copy
    EXPECT_FALSE(view.Map(empty, 100));
    EXPECT_FALSE(view.Map(nullptr, 100));
    ASSERT_TRUE(view.Map(f, 4096 + 10));  // no more than asked
    EXPECT_EQ(view.Length(), 4096 + 10);
    ASSERT_TRUE(view.Map(f, 1 << 30) && asked.Map(f, 1 << 30));  // no more than the file
    EXPECT_EQ(view.Length(), bytes.size());

    char out[8] = {};
    const struct { long long offset; size_t n; bool ok; } ranges[] = {
        {0, 8, true}, {bytes.size() - 8, 8, true}, {bytes.size() - 7, 8, false}, {-1, 1, false},
        {0, size_t(bytes.size()) + 1, false}, {bytes.size(), 0, true},
    };
    for (const auto& r : ranges) EXPECT_EQ(view.Copy(r.offset, out, r.n), r.ok) << r.offset << " " << r.n;
    EXPECT_EQ(QByteArray(out, 8), QByteArray(8, 'b'));

    QFile w(path);
    ASSERT_TRUE(w.open(QIODevice::ReadWrite) && w.seek(4096) && w.write("written") == 7 && w.flush());
    ASSERT_TRUE(view.Copy(4096, out, 7));
    EXPECT_EQ(QByteArray(out, 7), QByteArray("written"));

    // Cut by someone else inside the second page: the pages after it are gone, and the copy fails
    // instead of the process; the rest of the cut page reads as zeros unless the size is asked.
    ASSERT_TRUE(w.resize(4096 + 7));
    for (int i = 0; i < 1000; ++i) EXPECT_FALSE(view.Copy(2 * 4096, out, 8));  // the handler stays
    EXPECT_FALSE(asked.Copy(2 * 4096, out, 8));
    EXPECT_TRUE(view.Copy(4096 + 4, out, 4));
    EXPECT_EQ(QByteArray(out, 4), QByteArray("ten", 3) + '\0');
    EXPECT_FALSE(asked.Copy(4096 + 4, out, 4));
    EXPECT_TRUE(asked.Copy(4096 + 3, out, 4));
    ASSERT_TRUE(w.resize(bytes.size()) && w.seek(2 * 4096) && w.write("back") == 4 && w.flush());
    for (const VtMappedFile* v : {&view, &asked}) {
        ASSERT_TRUE(v->Copy(2 * 4096, out, 4));
        EXPECT_EQ(QByteArray(out, 4), QByteArray("back"));
    }
    view.Unmap();
    EXPECT_FALSE(view.Copy(0, out, 1));
    std::fclose(f);
    std::fclose(empty);
}

// Bus errors that are not a copy's keep their meaning: the handler there before runs, or the
// process dies of the signal.
TEST(MappedFile, OtherBusErrorsGoWhereTheyWentBefore) {
    QTemporaryDir dir;
    const QString path = dir.filePath("index");
    ASSERT_TRUE(touch(path, QByteArray(2 * 4096, 'a')));
    const auto child = [&](bool ownHandler) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            // The default set here, not inherited: a sanitizer may have a handler of its own.
            if (ownHandler) ::signal(SIGBUS, [](int) { ::_exit(42); });
            else ::signal(SIGBUS, SIG_DFL);
            std::FILE* f = OpenRead(path);
            VtMappedFile view(LLONG_MAX);
            if (f == nullptr || !view.Map(f, 2 * 4096)) ::_exit(1);
            // A mapping of the program's own, touched past the end of its cut file.
            void* own = ::mmap(nullptr, 2 * 4096, PROT_READ, MAP_SHARED, ::fileno(f), 0);
            if (own == MAP_FAILED || ::truncate(path.toLocal8Bit().constData(), 0) != 0) ::_exit(1);
            char out = 0;
            if (view.Copy(4096, &out, 1)) ::_exit(2);
            std::printf("%d", static_cast<volatile const char*>(own)[4096]);
            ::_exit(3);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return status;
    };
    const int withHandler = child(true);
    EXPECT_TRUE(WIFEXITED(withHandler) && WEXITSTATUS(withHandler) == 42) << withHandler;
    ASSERT_TRUE(touch(path, QByteArray(2 * 4096, 'a')));
    const int without = child(false);
    EXPECT_TRUE(WIFSIGNALED(without) && WTERMSIG(without) == SIGBUS) << without;
}
