#include "core/platform/SharedAppendEnd.h"

#include <atomic>
#include <cstdint>

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

struct VtSharedAppendEnd::Record {
    // Atomic although written once under an exclusive lock: users in one process are threads.
    std::atomic<std::uint64_t> magic;
    std::atomic<std::uint64_t> device;
    std::atomic<std::uint64_t> inode;
    std::atomic<long long> end;
};

namespace {
// A record is used by several processes at different addresses: its atomic must need no lock.
static_assert(std::atomic<long long>::is_always_lock_free, "the shared end needs a lock-free 64-bit atomic");
constexpr std::uint64_t kMagic = 0x31444e4545524156ULL;  // "VAREEND1", little-endian
}  // namespace

VtSharedAppendEnd::~VtSharedAppendEnd() { Detach(); }

#ifdef _WIN32

bool VtSharedAppendEnd::Attach(std::FILE*) { return false; }
void VtSharedAppendEnd::Detach() {}

#else

namespace {

// The version names the locking: records of a build that locked them another way are not seen,
// so they are never taken for unused.
constexpr char kRecordPrefix[] = "vtcore-end-v2-";

// A lock on the whole record, held by its open file description, as flock's are, so that each
// attachment holds its own. Where there are such locks with fcntl (Linux), a change from exclusive
// to shared is atomic: nobody can take the record exclusively while its first user hands it over,
// which is what makes removing unused records safe.
bool LockRecord(int fd, bool exclusive, bool wait) {
#ifdef F_OFD_SETLK
    struct flock lock {};
    lock.l_type = exclusive ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    while (::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &lock) != 0) {
        if (!wait || errno != EINTR) return false;
    }
    return true;
#else
    while (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | (wait ? 0 : LOCK_NB)) != 0) {
        if (!wait || errno != EINTR) return false;
    }
    return true;
#endif
}

// Removes the records nobody is attached to: left by users that were killed, some of them for
// files deleted since, which nobody would open again. A record in use or being set up is locked
// and stays; one removed just as someone opens it is seen by them as unlinked, and they make a new
// one. Only where shared memory objects can be listed, and the lock change is atomic.
void RemoveUnusedRecords() {
#ifdef F_OFD_SETLK
    DIR* dir = ::opendir("/dev/shm");
    if (dir == nullptr) return;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, kRecordPrefix, sizeof kRecordPrefix - 1) != 0) continue;
        const std::string name = std::string("/") + entry->d_name;
        const int fd = ::shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0);
        if (fd < 0) continue;
        if (LockRecord(fd, true, false)) ::shm_unlink(name.c_str());
        ::close(fd);
    }
    ::closedir(dir);
#endif
}

}  // namespace

bool VtSharedAppendEnd::Attach(std::FILE* f) {
    Detach();
    RemoveUnusedRecords();
    struct stat file {};
    if (f == nullptr || ::fstat(::fileno(f), &file) != 0) return false;
    char name[64];
    std::snprintf(name, sizeof name, "/%s%llx-%llx", kRecordPrefix, static_cast<unsigned long long>(file.st_dev),
                  static_cast<unsigned long long>(file.st_ino));
    // A few rounds: the record may be removed by its last user between our open and our lock.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const int fd = ::shm_open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        const bool first = LockRecord(fd, true, false);
        struct stat shm {};
        if ((!first && !LockRecord(fd, false, true)) || ::fstat(fd, &shm) != 0) {
            ::close(fd);
            return false;
        }
        if (shm.st_nlink == 0) {  // removed meanwhile: make a new one
            ::close(fd);
            continue;
        }
        const bool sized = static_cast<size_t>(shm.st_size) >= sizeof(Record) ||
                           (first && ::ftruncate(fd, static_cast<off_t>(sizeof(Record))) == 0);
        void* p = sized ? ::mmap(nullptr, sizeof(Record), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
        if (p == MAP_FAILED) {
            ::close(fd);
            return false;
        }
        Record* r = static_cast<Record*>(p);
        // The file's size now, under the lock: appends made before anyone was attached count.
        if (::fstat(::fileno(f), &file) != 0) file.st_size = 0;
        if (first) {
            r->device.store(static_cast<std::uint64_t>(file.st_dev));
            r->inode.store(static_cast<std::uint64_t>(file.st_ino));
            r->end.store(static_cast<long long>(file.st_size));
            r->magic.store(kMagic);
            // Down to a shared lock: other users may now attach.
            LockRecord(fd, false, true);
        } else if (r->magic.load() != kMagic || r->device.load() != static_cast<std::uint64_t>(file.st_dev) ||
                   r->inode.load() != static_cast<std::uint64_t>(file.st_ino)) {
            ::munmap(p, sizeof(Record));
            ::close(fd);
            return false;
        }
        record_ = r;
        fd_ = fd;
        name_ = name;
        RaiseTo(static_cast<long long>(file.st_size));
        return true;
    }
    return false;
}

void VtSharedAppendEnd::Detach() {
    if (record_ == nullptr) return;
    ::munmap(record_, sizeof(Record));
    record_ = nullptr;
    // The last user removes the record; one who opened it meanwhile sees it unlinked and retries.
    if (LockRecord(fd_, true, false)) ::shm_unlink(name_.c_str());
    ::close(fd_);
    fd_ = -1;
}

#endif

long long VtSharedAppendEnd::Claim(long long length) { return record_->end.fetch_add(length); }

void VtSharedAppendEnd::RaiseTo(long long end) {
    long long known = record_->end.load();
    while (known < end && !record_->end.compare_exchange_weak(known, end)) {
    }
}
