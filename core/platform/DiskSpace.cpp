#include "core/platform/DiskSpace.h"

#include <sys/statvfs.h>

namespace {

bool Query(const std::string& path, std::uint64_t& freeBytes) {
    struct statvfs info {};
    if (path.empty() || ::statvfs(path.c_str(), &info) != 0) return false;
    freeBytes = static_cast<std::uint64_t>(info.f_bfree) * static_cast<std::uint64_t>(info.f_frsize);
    return true;
}

}  // namespace

bool VtQueryDiskFreeBytes(const std::string& path, std::uint64_t& freeBytes) {
    if (path.empty()) return false;
    if (Query(path, freeBytes)) return true;
    const std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos) return Query(".", freeBytes);
    return Query(slash == 0 ? std::string("/") : path.substr(0, slash), freeBytes);
}
