// The tool is a host program: the lock uses the POSIX file interfaces directly.
#include "tools/vtcore/DepositoryLock.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace VtCli {
namespace {

QString LockPath(const QString& idxPath) { return idxPath + QStringLiteral(".lock"); }

long long ReadPid(int fd) {
    char text[32] = {};
    const ssize_t n = pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return 0;
    return std::strtoll(text, nullptr, 10);
}

}  // namespace

CDepositoryLock::~CDepositoryLock() { Release(); }

bool CDepositoryLock::Acquire(const QString& idxPath, QString& error) {
    Release();
    m_inUse = false;
    const QString path = LockPath(idxPath);
    const QByteArray native = QFile::encodeName(path);
    // A few rounds: the previous holder may remove the file between our open and our lock.
    for (int round = 0; round < 50; ++round) {
        const int fd = open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            error = QStringLiteral("cannot create the lock file %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        // Holder() looks with a shared lock of a few microseconds; a holder keeps the lock for the
        // whole command. A few short retries tell the two apart.
        int why = 0;
        for (int tries = 0; tries < 10; ++tries) {
            why = flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
            if (why != EWOULDBLOCK) break;
            usleep(10000);
        }
        if (why != 0) {
            const long long pid = why == EWOULDBLOCK ? ReadPid(fd) : 0;
            close(fd);
            m_inUse = why == EWOULDBLOCK;
            if (m_inUse)
                error = QStringLiteral("depository in use by process %1 (%2)").arg(pid).arg(idxPath);
            else
                error = QStringLiteral("cannot lock %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(why)));
            return false;
        }
        // The lock counts only on the file that the name still names.
        struct stat held {};
        struct stat named {};
        if (fstat(fd, &held) != 0 || stat(native.constData(), &named) != 0 || held.st_ino != named.st_ino ||
            held.st_dev != named.st_dev) {
            close(fd);
            continue;
        }
        const QByteArray pid = QByteArray::number(static_cast<long long>(getpid())) + '\n';
        if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.constData(), size_t(pid.size()), 0) != pid.size()) {
            error = QStringLiteral("cannot write the lock file %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
            close(fd);
            return false;
        }
        m_fd = fd;
        m_path = path;
        return true;
    }
    // Other writers keep taking and releasing it: in use all the same.
    m_inUse = true;
    error = QStringLiteral("depository in use by process %1 (%2)").arg(Holder(idxPath)).arg(idxPath);
    return false;
}

void CDepositoryLock::Release() {
    if (m_fd < 0) return;
    // Removed while still held, so no other process can lock the old file and believe it holds
    // the depository.
    unlink(QFile::encodeName(m_path).constData());
    close(m_fd);
    m_fd = -1;
    m_path.clear();
}

long long CDepositoryLock::Holder(const QString& idxPath) {
    const int fd = open(QFile::encodeName(LockPath(idxPath)).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    long long pid = 0;
    if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            pid = ReadPid(fd);
            if (pid <= 0) pid = -1;  // held, but the holder has not written its id yet
        }
    } else {
        flock(fd, LOCK_UN);
    }
    close(fd);
    return pid;
}

}  // namespace VtCli
