#include "core/platform/MappedFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>

#ifndef _WIN32
#include <csetjmp>
#include <csignal>
#include <mutex>

#include <pthread.h>

#include <sys/mman.h>
#include <sys/stat.h>
#endif

VtMappedFile::~VtMappedFile() { Unmap(); }

#ifdef _WIN32

bool VtMappedFile::Map(std::FILE*, long long) { return false; }
void VtMappedFile::Unmap() {}
bool VtMappedFile::Copy(long long, void*, std::size_t) const { return false; }

#else

namespace {

// Where the thread's Copy resumes when its read faults; set only while Copy touches the view.
thread_local sigjmp_buf* volatile t_resume = nullptr;

std::mutex g_installMutex;
struct sigaction g_previous {};

void OnBusError(int sig, siginfo_t* info, void* context) {
    if (sigjmp_buf* resume = t_resume) {
        t_resume = nullptr;
        siglongjmp(*resume, 1);
    }
    // Not a read of ours: whatever was there before decides.
    const bool fault = info != nullptr && info->si_code > 0;  // not sent with kill or raise
    if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
        g_previous.sa_sigaction(sig, info, context);
    } else if ((g_previous.sa_flags & SA_SIGINFO) == 0 && g_previous.sa_handler != SIG_DFL &&
               g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(sig);
    } else if (g_previous.sa_handler != SIG_IGN || fault) {
        // The default, also for an ignored fault (returning would fault again): die of the
        // signal, as without this handler.
        ::signal(sig, SIG_DFL);
        ::raise(sig);
    }
}

// Installs the handler unless it is the current one (a program may have replaced it since).
bool InstallBusHandler() {
    const std::lock_guard<std::mutex> lock(g_installMutex);
    struct sigaction current {};
    if (::sigaction(SIGBUS, nullptr, &current) != 0) return false;
    if ((current.sa_flags & SA_SIGINFO) != 0 && current.sa_sigaction == OnBusError) return true;
    struct sigaction ours {};
    ours.sa_sigaction = OnBusError;
    sigemptyset(&ours.sa_mask);
    // NODEFER: Copy leaves the handler by a jump that does not restore the signal mask, and the
    // next fault must be caught too.
    ours.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    struct sigaction previous {};
    if (::sigaction(SIGBUS, &ours, &previous) != 0) return false;
    g_previous = previous;
    return true;
}

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

bool VtMappedFile::Map(std::FILE* f, long long length) {
    Unmap();
    struct stat file {};
    if (f == nullptr || length <= 0 || ::fstat(::fileno(f), &file) != 0) return false;
    const long long size = std::min<long long>(length, static_cast<long long>(file.st_size));
    if (size <= 0 || static_cast<unsigned long long>(size) > SIZE_MAX || !InstallBusHandler()) return false;
    void* p = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, ::fileno(f), 0);
    if (p == MAP_FAILED) return false;
    base_ = static_cast<const unsigned char*>(p);
    length_ = size;
    fd_ = ::fileno(f);
    known_ = static_cast<long long>(file.st_size);
    knownAt_ = NowNs();
    return true;
}

void VtMappedFile::Unmap() {
    if (base_ == nullptr) return;
    ::munmap(const_cast<unsigned char*>(base_), static_cast<size_t>(length_));
    base_ = nullptr;
    length_ = 0;
    fd_ = -1;
}

bool VtMappedFile::Copy(long long offset, void* out, std::size_t n) const {
    if (base_ == nullptr || offset < 0 || static_cast<unsigned long long>(n) > static_cast<unsigned long long>(length_) ||
        offset > length_ - static_cast<long long>(n))
        return false;
    const long long now = NowNs();
    if (now - knownAt_.load(std::memory_order_relaxed) >= recheckNs_) {
        struct stat file {};
        if (::fstat(fd_, &file) == 0) known_.store(static_cast<long long>(file.st_size), std::memory_order_relaxed);
        knownAt_.store(now, std::memory_order_relaxed);
    }
    if (offset > known_.load(std::memory_order_relaxed) - static_cast<long long>(n)) return false;
    // The signal mask is not saved, so that the common path makes no system call. The handler
    // asks for SIGBUS to stay unblocked (NODEFER), but a sanitizer's wrapper may block it all the
    // same: after a jump out of the handler it is unblocked again, or the next fault would kill.
    sigjmp_buf resume;
    if (sigsetjmp(resume, 0) != 0) {  // the page is gone: the file was cut
        sigset_t bus;
        sigemptyset(&bus);
        sigaddset(&bus, SIGBUS);
        pthread_sigmask(SIG_UNBLOCK, &bus, nullptr);
        return false;
    }
    t_resume = &resume;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    // Byte by byte, not memcpy: a sanitizer's memcpy would take the fault inside its own runtime.
    const volatile unsigned char* from = base_ + offset;
    unsigned char* to = static_cast<unsigned char*>(out);
    for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_resume = nullptr;
    return true;
}

#endif
