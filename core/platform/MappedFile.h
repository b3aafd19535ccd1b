#pragma once

#include <atomic>
#include <cstddef>
#include <cstdio>

// A read-only view of an open file in memory, for reading small records without a system call
// each. Writes made to the file by any process show through the view at once.
//
// Another program may cut the file while it is mapped; touching a page that is then past the end
// raises SIGBUS. Reads therefore go through Copy, which turns that fault into a false return: a
// handler for SIGBUS is installed while any file is mapped, and faults that are not Copy's go to
// the handler that was there before (or kill the process, as they would have). A program that
// installs its own SIGBUS handler afterwards should chain to the one it replaces.
//
// A cut inside a page gives no fault: the rest of that page reads as zeros, which would tear a
// record that the cut splits. Copy therefore also refuses ranges past the file's size, as last
// asked of the file system (at most `recheckNs` ago), so such a tear can be read only in that
// moment after the cut, as a read with pread could during the cut.
class VtMappedFile {
public:
    // recheckNs: how long the file's size as last asked is trusted (0: asked before every copy).
    explicit VtMappedFile(long long recheckNs = kRecheckNs) : recheckNs_(recheckNs) {}
    ~VtMappedFile();
    VtMappedFile(const VtMappedFile&) = delete;
    VtMappedFile& operator=(const VtMappedFile&) = delete;

    static constexpr long long kRecheckNs = 1000000;

    // Maps the first min(length, file size) bytes of the open file `f` (unmapping any earlier
    // view); `f` must stay open while mapped. False, with nothing mapped, when the file is empty
    // or cannot be mapped.
    bool Map(std::FILE* f, long long length);
    void Unmap();
    // Bytes in view; 0 when nothing is mapped.
    long long Length() const { return length_; }

    // Copies n bytes at offset into out. False when the range is not wholly in view, or when the
    // file no longer holds those bytes because it was cut since it was mapped. Safe to call from
    // several threads.
    bool Copy(long long offset, void* out, std::size_t n) const;

private:
    const unsigned char* base_ = nullptr;
    long long length_ = 0;
    int fd_ = -1;
    const long long recheckNs_;
    // The file's size when last asked, and when that was (steady clock, nanoseconds).
    mutable std::atomic<long long> known_{0};
    mutable std::atomic<long long> knownAt_{0};
};
