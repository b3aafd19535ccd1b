#pragma once

#include <cstddef>
#include <cstdio>

// Positioned reads and writes on an open stdio file. They go straight to the operating system and
// leave the stream's own position and buffer alone, so a stream used with them must not also be
// read or written through stdio while it holds buffered data. Safe to call from several threads.

// Reads up to n bytes at offset into buf; got = the bytes read (fewer than n only at the end of
// the file). False on a read error or a negative offset.
bool VtReadAt(std::FILE* f, long long offset, void* buf, std::size_t n, std::size_t& got);
// Writes all n bytes at offset. False unless every byte was written.
bool VtWriteAt(std::FILE* f, long long offset, const void* buf, std::size_t n);
// As above; written = the bytes that reached the file, from the first one on (fewer than n when
// it fails part-way, e.g. at the file-size limit).
bool VtWriteAt(std::FILE* f, long long offset, const void* buf, std::size_t n, std::size_t& written);
// Current size of the file in bytes; -1 when it cannot be queried.
long long VtFileSize(std::FILE* f);
