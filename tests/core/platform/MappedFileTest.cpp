#include "../CoreTest.h"
#include "core/platform/MappedFile.h"

#include <climits>
#include <csignal>
#include <cstdio>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

static std::FILE* OpenRead(const QString& path) { return std::fopen(path.toLocal8Bit().constData(), "rb"); }

TEST(MappedFile, ShowsWritesTurnsACutIntoAFailedCopyUntilTheFileGrowsBackOtherBusErrorsGoWhereTheyWentBefore) {
    QTemporaryDir dir;
    const QString path = dir.filePath("index");
    const long long size = 3 * 4096 + 100;
    ASSERT_TRUE(touch(path, QByteArray(size - 8, 'a') + "12345678") && touch(dir.filePath("empty"), QByteArray()));
    std::FILE* f = OpenRead(path);
    std::FILE* empty = OpenRead(dir.filePath("empty"));
    VtMappedFile view(LLONG_MAX);  // trusts the size it mapped: a cut shows as a fault
    VtMappedFile asked(0);         // asks the size before every copy
    EXPECT_FALSE(view.Map(empty, 100) || view.Map(nullptr, 100));
    ASSERT_TRUE(view.Map(f, 4096 + 10) && view.Length() == 4096 + 10);  // no more than asked
    ASSERT_TRUE(view.Map(f, 1 << 30) && asked.Map(f, 1 << 30) && view.Length() == size);  // nor than the file
    char out[8] = {};
    const struct { long long offset; size_t n; bool ok; } ranges[] = {
        {size - 7, 8, false}, {-1, 1, false}, {0, size_t(size) + 1, false}, {size, 0, true}, {size - 8, 8, true}};
    for (const auto& r : ranges) EXPECT_EQ(view.Copy(r.offset, out, r.n), r.ok) << r.offset << " " << r.n;
    EXPECT_EQ(QByteArray(out, 8), QByteArray("12345678"));
    QFile w(path);
    ASSERT_TRUE(w.open(QIODevice::ReadWrite) && w.seek(4096) && w.write("written") == 7 && w.flush());
    ASSERT_TRUE(view.Copy(4096, out, 7));
    EXPECT_EQ(QByteArray(out, 7), QByteArray("written"));
    // Cut by someone else inside the second page: the pages after it are gone, and the copy fails
    // instead of the process; the rest of the cut page reads as zeros unless the size is asked.
    ASSERT_TRUE(w.resize(4096 + 7));
    for (int i = 0; i < 1000; ++i) EXPECT_FALSE(view.Copy(2 * 4096, out, 8));  // the handler stays
    EXPECT_FALSE(asked.Copy(2 * 4096, out, 8) || asked.Copy(4096 + 4, out, 4));
    EXPECT_TRUE(asked.Copy(4096 + 3, out, 4));
    EXPECT_TRUE(view.Copy(4096 + 4, out, 4));
    EXPECT_EQ(QByteArray(out, 4), QByteArray("ten", 3) + '\0');
    ASSERT_TRUE(w.resize(size) && w.seek(2 * 4096) && w.write("back") == 4 && w.flush());
    for (const VtMappedFile* v : {&view, &asked}) EXPECT_TRUE(v->Copy(2 * 4096, out, 4) && QByteArray(out, 4) == "back");
    view.Unmap();
    EXPECT_FALSE(view.Copy(0, out, 1));
    std::fclose(f);
    std::fclose(empty);

    // Bus errors that are not a copy's keep their meaning: the handler there before runs, or the
    // process dies of the signal; an ignored one sent with raise stays ignored, a fault still kills.
    enum { kOwn, kDefault, kIgnored };
    for (int before : {kOwn, kDefault, kIgnored}) {
        ASSERT_TRUE(touch(path, QByteArray(2 * 4096, 'a')));
        const pid_t pid = ::fork();
        if (pid == 0) {
            // The default set here, not inherited: a sanitizer may have a handler of its own.
            ::signal(SIGBUS, before == kOwn ? [](int) { ::_exit(42); } : before == kDefault ? SIG_DFL : SIG_IGN);
            std::FILE* in = OpenRead(path);
            if (in == nullptr || !view.Map(in, 2 * 4096)) ::_exit(1);
            if (before == kIgnored && ::raise(SIGBUS) != 0) ::_exit(1);
            // A mapping of the program's own, touched past the end of its cut file.
            void* own = ::mmap(nullptr, 2 * 4096, PROT_READ, MAP_SHARED, ::fileno(in), 0);
            if (own == MAP_FAILED || ::truncate(path.toLocal8Bit().constData(), 0) != 0 || view.Copy(4096, out, 1))
                ::_exit(1);
            std::printf("%d", static_cast<volatile const char*>(own)[4096]);
            ::_exit(3);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(before == kOwn ? WIFEXITED(status) && WEXITSTATUS(status) == 42
                                   : WIFSIGNALED(status) && WTERMSIG(status) == SIGBUS) << before << " " << status;
    }
}
