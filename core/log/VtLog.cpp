#include "core/log/VtLog.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QTextCodec>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <memory>
#include <thread>

namespace {

using Observer = std::function<void(const VtLogRecord&)>;
using ObserverMap = std::map<int, Observer>;

// Records made before the file is open; bounded so a host that never calls InitVtLog
// does not grow without limit. The oldest are dropped first.
constexpr std::size_t kMaxPendingRecords = 8192;

struct LogState {
    std::mutex fileMutex;  // one record is written whole before the next starts
    std::FILE* file = nullptr;
    std::string runDir;
    std::deque<VtLogRecord> pending;
    std::uint64_t droppedPending = 0;

    std::mutex observerMutex;
    std::shared_ptr<const ObserverMap> observers = std::make_shared<ObserverMap>();
    int nextHandle = 1;

    std::array<std::atomic<bool>, 9> levelEnabled{};
    std::array<std::atomic<bool>, 5> showEnabled{};

    LogState() {
        for (auto& flag : levelEnabled) flag = true;
        for (auto& flag : showEnabled) flag = true;
    }
};

LogState& state() {
    // Never destroyed: records may come from static destructors of other objects.
    static LogState* s = new LogState;
    return *s;
}

QTextCodec* gbCodec() {
    static QTextCodec* codec = QTextCodec::codecForName("GB18030");
    return codec;
}

const char* levelName(E_VTLOG_LEVEL level) {
    switch (level) {
    case VTLOG_LEVEL_LOG: return "LOG";
    case VTLOG_LEVEL_DEBUG: return "DEBUG";
    case VTLOG_LEVEL_INFO: return "INFO";
    case VTLOG_LEVEL_WARN: return "WARN";
    case VTLOG_LEVEL_ERROR: return "ERROR";
    case VTLOG_LEVEL_DUMP: return "DUMP";
    default: return "LEVEL";
    }
}

std::string decodeGb(const std::string& bytes) {
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii || gbCodec() == nullptr) return bytes;
    return gbCodec()->toUnicode(bytes.data(), static_cast<int>(bytes.size())).toUtf8().toStdString();
}

std::string formatLine(LogState& s, const VtLogRecord& record) {
    std::string line;
    line.reserve(record.utf8.size() + 64);
    if (s.showEnabled[VTLOG_SHOW_TIME]) {
        line += QDateTime::fromMSecsSinceEpoch(record.msecsSinceEpoch)
                    .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                    .toStdString();
        line += ' ';
    }
    if (s.showEnabled[VTLOG_SHOW_LEVEL]) {
        line += '[';
        line += levelName(record.level);
        line += "] ";
    }
    if (s.showEnabled[VTLOG_SHOW_THREAD]) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "<%016llx> ", static_cast<unsigned long long>(record.threadId));
        line += buf;
    }
    // One record is one line: embedded line breaks would make a record look like two.
    for (char c : record.utf8) line += (c == '\n' || c == '\r') ? ' ' : c;
    line += '\n';
    return line;
}

void writeLocked(LogState& s, const VtLogRecord& record) {
    const std::string line = formatLine(s, record);
    std::fwrite(line.data(), 1, line.size(), s.file);
    std::fflush(s.file);
}

void dispatch(VtLogRecord&& record) {
    LogState& s = state();
    {
        std::lock_guard<std::mutex> lock(s.fileMutex);
        if (s.file != nullptr) {
            writeLocked(s, record);
        } else {
            if (s.pending.size() >= kMaxPendingRecords) {
                s.pending.pop_front();
                ++s.droppedPending;
            }
            s.pending.push_back(record);
        }
    }
    std::shared_ptr<const ObserverMap> observers;
    {
        std::lock_guard<std::mutex> lock(s.observerMutex);
        observers = s.observers;
    }
    // Called outside the locks so an observer may itself log.
    for (const auto& entry : *observers) entry.second(record);
}

std::uint64_t currentThreadId() {
    return static_cast<std::uint64_t>(std::hash<std::thread::id>()(std::this_thread::get_id()));
}

}  // namespace

namespace {

// Takes `file` as the log file and writes the records kept so far.
void adoptLogFile(std::FILE* file, const std::string& runDir) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.fileMutex);
    if (s.file != nullptr) std::fclose(s.file);
    s.file = file;
    s.runDir = runDir;
    if (s.droppedPending > 0) {
        VtLogRecord note;
        note.level = VTLOG_LEVEL_WARN;
        note.utf8 = note.text = "[VtLog] " + std::to_string(s.droppedPending) +
                                " early records were dropped before the log was opened";
        note.msecsSinceEpoch = QDateTime::currentMSecsSinceEpoch();
        writeLocked(s, note);
        s.droppedPending = 0;
    }
    for (const VtLogRecord& record : s.pending) writeLocked(s, record);
    s.pending.clear();
}

}  // namespace

bool InitVtLog(char* moduleName, unsigned int /*value*/, const char* logDir) {
    const QString module = moduleName != nullptr ? QString::fromLocal8Bit(moduleName) : QString();
    const QString base = logDir != nullptr ? QString::fromLocal8Bit(logDir) : QString();
    if (module.isEmpty() || base.isEmpty()) return false;
    const QString dir = QDir(base).filePath(module);
    if (!QDir().mkpath(dir)) return false;
    const QByteArray path = QDir(dir).filePath(QStringLiteral("VtCore.log")).toLocal8Bit();
    std::FILE* file = std::fopen(path.constData(), "ab");
    if (file == nullptr) return false;
    adoptLogFile(file, QDir(dir).absolutePath().toStdString() + "/");
    return true;
}

bool InitVtLogFile(const char* path) {
    const QString name = path != nullptr ? QString::fromLocal8Bit(path) : QString();
    if (name.isEmpty()) return false;
    const QFileInfo info(name);
    if (!QDir().mkpath(info.absolutePath())) return false;
    std::FILE* file = std::fopen(path, "ab");
    if (file == nullptr) return false;
    adoptLogFile(file, info.absolutePath().toStdString() + "/");
    return true;
}

void VtCloseLog() {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.fileMutex);
    if (s.file != nullptr) {
        std::fclose(s.file);
        s.file = nullptr;
    }
    s.runDir.clear();
}

std::string VtLogRunDirectory() {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.fileMutex);
    return s.runDir;
}

void VtEnableAllLogModuleLevel(E_VTLOG_LEVEL level, bool enable) {
    LogState& s = state();
    if (level == VTLOG_LEVEL_ALL) {
        for (auto& flag : s.levelEnabled) flag = enable;
    } else if (level >= 0 && static_cast<std::size_t>(level) < s.levelEnabled.size()) {
        s.levelEnabled[static_cast<std::size_t>(level)] = enable;
    }
}

void VtEnableAllLogModuleShowInfo(E_VTLOG_SHOW_INFO info, bool enable) {
    LogState& s = state();
    if (info == VTLOG_SHOW_ALL) {
        for (auto& flag : s.showEnabled) flag = enable;
    } else if (info >= 0 && static_cast<std::size_t>(info) < s.showEnabled.size()) {
        s.showEnabled[static_cast<std::size_t>(info)] = enable;
    }
}

std::string VtGB(const char* utf8) {
    if (utf8 == nullptr) return std::string();
    return VtGB(std::string(utf8));
}

std::string VtGB(const std::string& utf8) {
    const bool ascii = std::all_of(utf8.begin(), utf8.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii || gbCodec() == nullptr) return utf8;
    const QByteArray bytes = gbCodec()->fromUnicode(QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size())));
    return bytes.toStdString();
}

CVtLogObject::CVtLogObject(E_VTLOG_LEVEL level) : m_eLevel(level), m_bActive(true) {
    LogState& s = state();
    if (level >= 0 && static_cast<std::size_t>(level) < s.levelEnabled.size()) m_bActive = s.levelEnabled[level];
}

CVtLogObject::CVtLogObject(CVtLogObject&& other) noexcept
    : m_eLevel(other.m_eLevel), m_bActive(other.m_bActive), m_strText(std::move(other.m_strText)) {
    other.m_bActive = false;
}

CVtLogObject::~CVtLogObject() {
    if (!m_bActive) return;
    try {
        VtLogRecord record;
        record.level = m_eLevel;
        record.utf8 = decodeGb(m_strText);
        record.text = std::move(m_strText);
        record.msecsSinceEpoch = QDateTime::currentMSecsSinceEpoch();
        record.threadId = currentThreadId();
        dispatch(std::move(record));
    } catch (...) {
        // A failed record must never take its caller down.
    }
}

CVtLogObject& CVtLogObject::operator<<(int value) {
    if (m_bActive) m_strText += std::to_string(value);
    return *this;
}

CVtLogObject& CVtLogObject::operator<<(double value) {
    if (m_bActive) {
        char buf[64];
        const auto result = std::to_chars(buf, buf + sizeof buf, value);
        m_strText.append(buf, result.ptr);
    }
    return *this;
}

CVtLogObject& CVtLogObject::operator<<(const char* text) {
    if (m_bActive && text != nullptr) m_strText += text;
    return *this;
}

CVtLogObject& CVtLogObject::operator<<(const std::string& text) {
    if (m_bActive) m_strText += text;
    return *this;
}

CVtLogObject& CVtLogObject::operator<<(unsigned long long value) {
    if (m_bActive) m_strText += std::to_string(value);
    return *this;
}

CVtLogObject VtLogInfo(unsigned int) { return CVtLogObject(VTLOG_LEVEL_INFO); }
CVtLogObject VtLogWarn(unsigned int) { return CVtLogObject(VTLOG_LEVEL_WARN); }
CVtLogObject VtLogError(unsigned int) { return CVtLogObject(VTLOG_LEVEL_ERROR); }
CVtLogObject VtLogDebug(unsigned int) { return CVtLogObject(VTLOG_LEVEL_DEBUG); }
CVtLogObject VtLogDump(unsigned int) { return CVtLogObject(VTLOG_LEVEL_DUMP); }
CVtLogObject VtLOG(E_VTLOG_LEVEL level) { return CVtLogObject(level); }

int VtLogAddObserver(std::function<void(const VtLogRecord&)> observer) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.observerMutex);
    auto next = std::make_shared<ObserverMap>(*s.observers);
    const int handle = s.nextHandle++;
    (*next)[handle] = std::move(observer);
    s.observers = std::move(next);
    return handle;
}

void VtLogRemoveObserver(int handle) {
    LogState& s = state();
    std::lock_guard<std::mutex> lock(s.observerMutex);
    auto next = std::make_shared<ObserverMap>(*s.observers);
    next->erase(handle);
    s.observers = std::move(next);
}

struct CVtLogCapture::Store {
    std::mutex mutex;
    std::vector<VtLogRecord> records;
};

CVtLogCapture::CVtLogCapture() : m_pStore(std::make_shared<Store>()), m_nHandle(0) {
    std::shared_ptr<Store> store = m_pStore;
    m_nHandle = VtLogAddObserver([store](const VtLogRecord& record) {
        std::lock_guard<std::mutex> lock(store->mutex);
        store->records.push_back(record);
    });
}

CVtLogCapture::~CVtLogCapture() { VtLogRemoveObserver(m_nHandle); }

std::vector<VtLogRecord> CVtLogCapture::Records() const {
    std::lock_guard<std::mutex> lock(m_pStore->mutex);
    return m_pStore->records;
}

int CVtLogCapture::Count(const std::string& utf8Part) const {
    std::lock_guard<std::mutex> lock(m_pStore->mutex);
    return static_cast<int>(std::count_if(m_pStore->records.begin(), m_pStore->records.end(),
                                          [&](const VtLogRecord& r) { return r.utf8.find(utf8Part) != std::string::npos; }));
}

int CVtLogCapture::Count(E_VTLOG_LEVEL level, const std::string& utf8Part) const {
    std::lock_guard<std::mutex> lock(m_pStore->mutex);
    return static_cast<int>(std::count_if(m_pStore->records.begin(), m_pStore->records.end(), [&](const VtLogRecord& r) {
        return r.level == level && r.utf8.find(utf8Part) != std::string::npos;
    }));
}

void CVtLogCapture::Clear() {
    std::lock_guard<std::mutex> lock(m_pStore->mutex);
    m_pStore->records.clear();
}
