#include "core/platform/SharedAppendEnd.h"

#include <atomic>
#include <cstdint>

#ifndef _WIN32
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

bool VtSharedAppendEnd::Attach(std::FILE* f) {
    Detach();
    struct stat file {};
    if (f == nullptr || ::fstat(::fileno(f), &file) != 0) return false;
    char name[64];
    std::snprintf(name, sizeof name, "/vtcore-end-%llx-%llx", static_cast<unsigned long long>(file.st_dev),
                  static_cast<unsigned long long>(file.st_ino));
    // A few rounds: the record may be removed by its last user between our open and our lock.
    for (int attempt = 0; attempt < 16; ++attempt) {
        const int fd = ::shm_open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        const bool first = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        struct stat shm {};
        if ((!first && ::flock(fd, LOCK_SH) != 0) || ::fstat(fd, &shm) != 0) {
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
            // Down to a shared lock: other users may now attach. The change is not atomic, but one
            // who takes the record meanwhile sets the same end, as nobody has claimed yet.
            ::flock(fd, LOCK_SH);
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
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) ::shm_unlink(name_.c_str());
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
