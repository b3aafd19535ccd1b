#include "core/platform/Platform.h"

#if defined(__linux__)

#include "core/platform/RegistryFile.h"

#include <climits>
#include <cstdio>

#include <malloc.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

// Reads the first two fields of /proc/self/statm: total program size and resident set, in pages.
bool readStatm(std::uint64_t& sizePages, std::uint64_t& residentPages) {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return false;
    unsigned long long size = 0;
    unsigned long long resident = 0;
    const int n = std::fscanf(f, "%llu %llu", &size, &resident);
    std::fclose(f);
    if (n != 2) return false;
    sizePages = size;
    residentPages = resident;
    return true;
}

std::uint64_t pageBytes() {
    const long page = sysconf(_SC_PAGESIZE);
    return page > 0 ? static_cast<std::uint64_t>(page) : 4096u;
}

// Size of the user part of the address space; the kernel does not publish it, so it follows
// the architecture's usual virtual address width.
std::uint64_t userAddressSpaceBytes() {
#if defined(__x86_64__)
    return (std::uint64_t{1} << 47) - 4096u;
#elif defined(__aarch64__)
    return std::uint64_t{1} << 48;
#else
    return std::uint64_t{1} << (sizeof(void*) * 8 - 1);
#endif
}

}  // namespace

std::string CVtNativePlatform::ExecutablePath() const {
    char buf[PATH_MAX + 1];
    const ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return std::string();
    return std::string(buf, static_cast<std::size_t>(n));
}

bool CVtNativePlatform::AvailableVirtualBytes(std::uint64_t& bytes) const {
    std::uint64_t sizePages = 0;
    std::uint64_t residentPages = 0;
    if (!readStatm(sizePages, residentPages)) return false;
    std::uint64_t limit = userAddressSpaceBytes();
    rlimit rl{};
    if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY && rl.rlim_cur < limit) limit = rl.rlim_cur;
    const std::uint64_t used = sizePages * pageBytes();
    bytes = limit > used ? limit - used : 0;
    return true;
}

bool CVtNativePlatform::WorkingSetBytes(std::uint64_t& bytes) const {
    std::uint64_t sizePages = 0;
    std::uint64_t residentPages = 0;
    if (!readStatm(sizePages, residentPages)) return false;
    bytes = residentPages * pageBytes();
    return true;
}

bool CVtNativePlatform::TrimWorkingSet() {
    // glibc keeps freed blocks in its arenas; this returns what it can to the kernel.
    malloc_trim(0);
    return true;
}

bool CVtNativePlatform::Cpuid(std::uint32_t leaf, std::array<std::uint32_t, 4>& regs) const {
    regs = {0, 0, 0, 0};
#if defined(__x86_64__) || defined(__i386__)
    unsigned int a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid_max(leaf & 0x80000000u, nullptr) < leaf) return false;
    __cpuid_count(leaf, 0, a, b, c, d);
    regs = {a, b, c, d};
    return true;
#else
    (void)leaf;
    return false;
#endif
}

std::string CVtNativePlatform::LibrarySuffix() const { return ".so"; }

IVtPlatform::E_REGISTRY_RESULT CVtNativePlatform::ReadClassesRootDefault(const std::string& subKey,
                                                                        std::size_t bufferBytes,
                                                                        std::string& value) const {
    return ReadRegistryFileDefault(QString::fromStdString(GetVtRegistryFile()), "HKEY_CLASSES_ROOT\\" + subKey,
                                   bufferBytes, value);
}

bool CVtNativePlatform::SetCurrentThreadPriority(int level) {
    // Normal needs no change, and raising the nice value back would need a privilege.
    if (level == 0) return true;
    int nice = -level;
    if (nice < -20) nice = -20;
    if (nice > 19) nice = 19;
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    return setpriority(PRIO_PROCESS, tid, nice) == 0;
}

void CVtNativePlatform::SetCurrentThreadName(const std::string& name) {
    // The kernel keeps 15 bytes of a thread name.
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
}

#endif  // __linux__
