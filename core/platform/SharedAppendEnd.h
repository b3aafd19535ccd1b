#pragma once

#include <cstdio>
#include <string>

// The end of the data appended to one file, shared by every object and process that appends to
// that file through this class. Appenders then claim disjoint ranges with one atomic addition on
// shared memory instead of asking the file system for the file's size before every append (a
// system call per tile, and still racy between two processes).
//
// The record lives in named shared memory keyed by the file's device and inode. Each attached
// user holds a shared lock on it; the first user after a time with none sets the end from the
// file's size, so a record left by a crashed process is never trusted, and the last user removes
// it. Attaching also removes the records nobody holds (left by killed users). Appenders that are not attached (another program, or a machine without shared memory) are
// not seen: a file that may have such writers must be appended to by asking its size instead.
class VtSharedAppendEnd {
public:
    VtSharedAppendEnd() = default;
    ~VtSharedAppendEnd();
    VtSharedAppendEnd(const VtSharedAppendEnd&) = delete;
    VtSharedAppendEnd& operator=(const VtSharedAppendEnd&) = delete;

    // Attaches to the record of the open file `f` (detaching from any earlier one). False when no
    // record can be had; the caller then falls back to the file's size.
    bool Attach(std::FILE* f);
    void Detach();
    bool Attached() const { return record_ != nullptr; }

    // Claims `length` bytes: returns where they start. The end only grows. Attached only.
    long long Claim(long long length);
    // Raises the end to at least `end` (e.g. after bytes were written past it another way).
    void RaiseTo(long long end);

private:
    struct Record;
    Record* record_ = nullptr;
    int fd_ = -1;
    std::string name_;
};
