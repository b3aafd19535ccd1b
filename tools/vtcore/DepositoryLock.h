#pragma once

#include <QString>

namespace VtCli {

// One writing process per depository. The lock is a file beside the index ("<index>.lock") held
// with an advisory whole-file lock, which the kernel drops when its process ends however it ends,
// so the lock of a killed process is simply taken over by the next writer. The file names the
// holder's process id for the message a second writer gets; it is removed on release.
class CDepositoryLock {
public:
    CDepositoryLock() = default;
    ~CDepositoryLock();  // releases
    CDepositoryLock(const CDepositoryLock&) = delete;
    CDepositoryLock& operator=(const CDepositoryLock&) = delete;

    // Takes the lock of the depository whose index file is `idxPath` (its folder must exist).
    // False with "depository in use by process N (<index>)" when another process holds it, or
    // with the reason the lock file could not be made.
    bool Acquire(const QString& idxPath, QString& error);
    // Whether the last Acquire failed because another process holds the lock (rather than, say,
    // a read-only folder).
    bool InUse() const { return m_inUse; }
    void Release();

    // The id of the process holding the depository's lock; 0 when no process holds it, -1 when
    // one does but its id cannot be read.
    static long long Holder(const QString& idxPath);

private:
    int m_fd = -1;
    bool m_inUse = false;
    QString m_path;
};

}  // namespace VtCli
