#include "core/platform/FileIO.h"

#include <cerrno>
#include <climits>

#include <sys/stat.h>
#include <unistd.h>

bool VtReadAt(std::FILE* f, long long offset, void* buf, std::size_t n, std::size_t& got) {
    got = 0;
    if (f == nullptr || offset < 0 || n > static_cast<unsigned long long>(LLONG_MAX - offset)) return false;
    const int fd = ::fileno(f);
    char* out = static_cast<char*>(buf);
    while (got < n) {
        const ssize_t r = ::pread(fd, out + got, n - got, static_cast<off_t>(offset + static_cast<long long>(got)));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return false;
        if (r == 0) break;  // end of file
        got += static_cast<std::size_t>(r);
    }
    return true;
}

bool VtWriteAt(std::FILE* f, long long offset, const void* buf, std::size_t n) {
    std::size_t written = 0;
    return VtWriteAt(f, offset, buf, n, written);
}

bool VtWriteAt(std::FILE* f, long long offset, const void* buf, std::size_t n, std::size_t& written) {
    written = 0;
    if (f == nullptr || offset < 0 || n > static_cast<unsigned long long>(LLONG_MAX - offset)) return false;
    const int fd = ::fileno(f);
    const char* in = static_cast<const char*>(buf);
    while (written < n) {
        const ssize_t w =
            ::pwrite(fd, in + written, n - written, static_cast<off_t>(offset + static_cast<long long>(written)));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        written += static_cast<std::size_t>(w);
    }
    return true;
}

long long VtFileSize(std::FILE* f) {
    if (f == nullptr) return -1;
    struct stat info {};
    if (::fstat(::fileno(f), &info) != 0) return -1;
    return static_cast<long long>(info.st_size);
}
