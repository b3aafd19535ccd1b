#pragma once

#include "core/VtCoreExport.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The log facility. A record is one full expression:
//     VtLogError() << "[CIdxFileDepository::Open] " << path;
// Texts are streamed as GB18030 bytes (use VtGB() for literals written in UTF-8 source).
// Records made before InitVtLog are kept in memory and written once the log is open.

enum E_VTLOG_LEVEL : int {
    VTLOG_LEVEL_LOG = 1,   // VtLOG(1): memory and shell messages
    VTLOG_LEVEL_DEBUG = 2,
    VTLOG_LEVEL_INFO = 3,
    VTLOG_LEVEL_WARN = 4,
    VTLOG_LEVEL_ERROR = 5,
    VTLOG_LEVEL_DUMP = 6,  // exception handlers
    VTLOG_LEVEL_ALL = 8    // only as an argument of VtEnableAllLogModuleLevel
};

enum E_VTLOG_SHOW_INFO : int {
    VTLOG_SHOW_TIME = 1,
    VTLOG_SHOW_THREAD = 2,
    VTLOG_SHOW_LEVEL = 3,
    VTLOG_SHOW_ALL = 4     // only as an argument of VtEnableAllLogModuleShowInfo
};

// Opens "<logDir>/<moduleName>/VtCore.log" (directories created as needed) and writes the
// records kept so far. Returns false when the directory or file cannot be made; records
// are then still kept in memory and handed to observers.
VTCORE_EXPORT bool InitVtLog(char* moduleName, unsigned int value, const char* logDir);
// Opens the one file `path` (appending; its directory created as needed) instead, for programs
// that keep a log beside their data; otherwise as InitVtLog. VtLogRunDirectory() is then the
// file's directory.
VTCORE_EXPORT bool InitVtLogFile(const char* path);
VTCORE_EXPORT void VtEnableAllLogModuleLevel(E_VTLOG_LEVEL level, bool enable);
VTCORE_EXPORT void VtEnableAllLogModuleShowInfo(E_VTLOG_SHOW_INFO info, bool enable);
// Flushes and closes the log file; later records are kept in memory until the next InitVtLog.
VTCORE_EXPORT void VtCloseLog();
// The directory the current run writes to ("" before InitVtLog).
VTCORE_EXPORT std::string VtLogRunDirectory();

// UTF-8 text (literals of this source tree) to GB18030 bytes for streaming.
VTCORE_EXPORT std::string VtGB(const char* utf8);
VTCORE_EXPORT std::string VtGB(const std::string& utf8);

struct VtLogRecord {
    E_VTLOG_LEVEL level = VTLOG_LEVEL_INFO;
    std::string text;      // bytes as streamed (GB18030)
    std::string utf8;      // the same text decoded
    std::int64_t msecsSinceEpoch = 0;
    std::uint64_t threadId = 0;
};

class VTCORE_EXPORT CVtLogObject {
public:
    explicit CVtLogObject(E_VTLOG_LEVEL level);
    CVtLogObject(CVtLogObject&& other) noexcept;
    CVtLogObject(const CVtLogObject&) = delete;
    CVtLogObject& operator=(const CVtLogObject&) = delete;
    ~CVtLogObject();  // ends the record

    CVtLogObject& operator<<(int value);
    CVtLogObject& operator<<(double value);
    CVtLogObject& operator<<(const char* text);
    CVtLogObject& operator<<(const std::string& text);
    CVtLogObject& operator<<(unsigned long long value);

private:
    E_VTLOG_LEVEL m_eLevel;
    bool m_bActive;  // false once moved from, or when the level is disabled
    std::string m_strText;
};

VTCORE_EXPORT CVtLogObject VtLogInfo(unsigned int module = 0xFFFFFFFF);
VTCORE_EXPORT CVtLogObject VtLogWarn(unsigned int module = 0xFFFFFFFF);
VTCORE_EXPORT CVtLogObject VtLogError(unsigned int module = 0xFFFFFFFF);
VTCORE_EXPORT CVtLogObject VtLogDebug(unsigned int module = 0xFFFFFFFF);
VTCORE_EXPORT CVtLogObject VtLogDump(unsigned int module = 0xFFFFFFFF);
VTCORE_EXPORT CVtLogObject VtLOG(E_VTLOG_LEVEL level);
inline CVtLogObject VtLOG(int level) { return VtLOG(static_cast<E_VTLOG_LEVEL>(level)); }

// Observers see every record that is written, on the writing thread, after it reaches the file.
// Returns a handle for VtLogRemoveObserver; an observer must not block.
VTCORE_EXPORT int VtLogAddObserver(std::function<void(const VtLogRecord&)> observer);
VTCORE_EXPORT void VtLogRemoveObserver(int handle);

// Collects the records written while it lives; for tests and diagnostics.
class VTCORE_EXPORT CVtLogCapture {
public:
    CVtLogCapture();
    ~CVtLogCapture();
    CVtLogCapture(const CVtLogCapture&) = delete;
    CVtLogCapture& operator=(const CVtLogCapture&) = delete;

    std::vector<VtLogRecord> Records() const;
    // Number of records whose UTF-8 text contains the given UTF-8 text (any level).
    int Count(const std::string& utf8Part) const;
    int Count(E_VTLOG_LEVEL level, const std::string& utf8Part) const;
    bool Contains(const std::string& utf8Part) const { return Count(utf8Part) > 0; }
    bool Contains(E_VTLOG_LEVEL level, const std::string& utf8Part) const { return Count(level, utf8Part) > 0; }
    void Clear();

private:
    struct Store;
    std::shared_ptr<Store> m_pStore;  // shared with the observer, which may outlive a removal in flight
    int m_nHandle;
};
