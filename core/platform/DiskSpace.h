#pragma once

#include <cstdint>
#include <string>

// Free bytes of the file system that holds `path` (a file or directory in the platform's native
// 8-bit encoding; a missing file is looked up through its directory). Counts all free blocks,
// including those reserved for the administrator. False when the query fails.
bool VtQueryDiskFreeBytes(const std::string& path, std::uint64_t& freeBytes);
