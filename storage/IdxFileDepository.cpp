#include "storage/IdxFileDepository.h"

#include "core/TextConvert.h"
#include "core/log/VtLog.h"
#include "core/platform/DiskSpace.h"
#include "core/platform/FileIO.h"
#include "core/platform/MappedFile.h"
#include "core/platform/SharedAppendEnd.h"
#include "storage/BinaryMemoryStream.h"
#include "storage/IdxFileHeader.h"
#include "storage/IdxIndex.h"
#include "tile/TileRange.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr long long kHeaderSize = CIdxFileDepository::kHeaderSize;
constexpr long long kSlotSize = CIdxFileDepository::kSlotSize;
// Slots whose byte position would not fit a 64-bit file offset.
constexpr long long kMaxSlot = LLONG_MAX / kSlotSize - 1;
// An offset field below this is a block state, not a data position.
constexpr long long kFirstDataOffset = 100;

// Owns a FILE* for the few places that open a file only for the length of one call.
struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f != nullptr) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// GB18030 bytes to text; an invalid sequence gives the empty string.
QString FromGb(const std::string& gb) { return ConvertStdStringToQString(gb, "GB18030"); }

// The file-system name of a GB18030 path; bytes that are not GB18030 are used as they are.
std::string NativePath(const std::string& gb) {
    const QString text = FromGb(gb);
    if (text.isEmpty()) return gb;
    return QFile::encodeName(text).toStdString();
}

bool FileExists(const std::string& gb) { return QFileInfo(QFile::decodeName(NativePath(gb).c_str())).isFile(); }

std::FILE* OpenFile(const std::string& gb, const char* mode) { return std::fopen(NativePath(gb).c_str(), mode); }

// Directory part ("" when none), file name, and file name without its last extension.
std::string DirectoryOf(const std::string& path) {
    const std::string::size_type slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    const std::string::size_type slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string BaseNameOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const std::string::size_type dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// Splits at "/" and "\", drops "." parts and lets ".." remove the part before it (never a
// leading root), joined with "/".
std::string NormalisePath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    auto push = [&parts](const std::string& p) {
        if (p == ".") return;
        if (p == "..") {
            if (!parts.empty() && !(parts.size() == 1 && parts.front().empty())) parts.pop_back();
            return;
        }
        parts.push_back(p);
    };
    for (char c : path) {
        if (c == '/' || c == '\\') {
            push(part);
            part.clear();
        } else {
            part += c;
        }
    }
    push(part);
    std::string joined;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) joined += '/';
        joined += parts[i];
    }
    return joined;
}

bool MakeDirectoryOf(const std::string& gbPath) {
    std::string dir = DirectoryOf(gbPath);
    if (dir.empty()) dir = "./";
    const QString native = QFile::decodeName(NativePath(dir).c_str());
    return QDir().mkpath(native);
}

void PutLE(unsigned char* out, unsigned long long v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(v >> (8 * i));
}

unsigned long long GetLE(const unsigned char* in, int bytes) {
    unsigned long long v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | in[i];
    return v;
}

// The same 20 bytes CICD_IDX_INDEX serialises to (byte order 1, bit order 1), without a stream:
// index creation writes millions of slots.
void EncodeSlot(unsigned char* out, long long mapID, long long offset, int length) {
    PutLE(out, static_cast<unsigned long long>(mapID), 8);
    PutLE(out + 8, static_cast<unsigned long long>(offset), 8);
    PutLE(out + 16, static_cast<unsigned int>(length), 4);
}

bool SerializeHeader(CICD_IDX_FILE_HEADER& header, unsigned char (&buf)[CIdxFileDepository::kHeaderSize]) {
    std::memset(buf, 0, sizeof buf);
    CBinaryMemoryStream stream(1, 1);
    stream.Attach(buf, static_cast<int>(sizeof buf));
    stream.Reset();
    return stream.Serialize(header);
}

// Outcome of reading a data-file header.
enum HeaderRead { HEADER_OK, HEADER_NO_FILE, HEADER_SHORT, HEADER_INVALID };

HeaderRead ReadHeaderFile(const std::string& dat, CICD_IDX_FILE_HEADER& header) {
    FilePtr f(OpenFile(dat, "rb"));
    if (!f) return HEADER_NO_FILE;
    unsigned char buf[CIdxFileDepository::kHeaderSize] = {};
    if (std::fread(buf, 1, sizeof buf, f.get()) < sizeof buf) return HEADER_SHORT;
    CBinaryMemoryStream stream(1, 1);
    stream.Attach(buf, static_cast<int>(sizeof buf));
    if (!stream.Deserialize(header) || !header.IsValid()) return HEADER_INVALID;
    return HEADER_OK;
}

void LogHeaderFailure(HeaderRead r, const char* noFile, const char* shortFile, const char* invalid) {
    if (r == HEADER_NO_FILE) VtLogError() << VtGB(noFile);
    if (r == HEADER_SHORT) VtLogError() << VtGB(shortFile);
    if (r == HEADER_INVALID) VtLogError() << VtGB(invalid);
}

void TakeHeaderIntoTask(const CICD_IDX_FILE_HEADER& h, STRUCT_DOWNLOAD_TASK& task) {
    task.version = h.m_nVersion;
    task.maptype = h.m_nMapType;
    task.bIsGoogleOffset = h.m_bIsGoogleOffset;
    task.MapItemType = h.m_nThemeType;
    task.DownImgeType = h.m_nMixType;
    task.extent = EXTENT{h.m_dMinX, h.m_dMinY, h.m_dMaxX, h.m_dMaxY};
    task.level = QList<int>(h.m_vecLevels.begin(), h.m_vecLevels.end());
}

ENUM_BLOCK_STATE StateOfOffset(long long offset) {
    if (offset < 0) return BLOCK_INVALID;
    if (offset >= kFirstDataOffset) return BLOCK_HAS_DATA;
    return static_cast<ENUM_BLOCK_STATE>(offset);
}

// The operations that use the open files, counted so that Close can wait for them to end before
// it closes the files; an operation that starts while Close waits is refused. Entering and
// leaving are two atomic additions: no operation waits for another.
class FileUsers {
public:
    bool Enter() {
        users_.fetch_add(1);
        if (!closing_.load()) return true;
        Leave();
        return false;
    }
    void Leave() {
        if (users_.fetch_sub(1) == 1 && closing_.load()) {
            std::lock_guard<std::mutex> lock(mutex_);
            drained_.notify_all();
        }
    }
    // Refuses new users and waits until the current ones have left; Admit lets them in again.
    void Drain() {
        closing_.store(true);
        std::unique_lock<std::mutex> lock(mutex_);
        drained_.wait(lock, [this] { return users_.load() == 0; });
    }
    void Admit() { closing_.store(false); }

private:
    std::atomic<int> users_{0};
    std::atomic<bool> closing_{false};
    std::mutex mutex_;
    std::condition_variable drained_;
};

// Index writes of this depository, counted per stripe of slots; the last stripe counts writes
// that span many slots. A file system may copy even a 12-byte write in pieces (one per page it
// touches) while a concurrent read copies the same bytes, so a reader could see a slot half old,
// half new. A reader therefore keeps a slot only when no write to its stripe overlapped the read.
class SlotWrites {
public:
    static constexpr int kWide = 64;

    static int StripeOf(long long slot) { return static_cast<int>(slot % kWide); }
    void Begin(int stripe) { s_[stripe].begun.fetch_add(1, std::memory_order_acq_rel); }
    void End(int stripe) { s_[stripe].ended.fetch_add(1, std::memory_order_release); }

    struct Mark {
        unsigned long long own;
        unsigned long long wide;
    };
    Mark Before(int stripe) const {
        return Mark{s_[stripe].ended.load(std::memory_order_acquire), s_[kWide].ended.load(std::memory_order_acquire)};
    }
    // True when every write begun by now had ended when Before was taken. The read in between
    // is a system call, so the counters are read again after an acquire fence; ThreadSanitizer
    // takes no fences, and there a read-modify-write of the counters orders the same way.
    bool Unchanged(int stripe, const Mark& m) const {
#ifdef __SANITIZE_THREAD__
        return s_[stripe].begun.fetch_add(0, std::memory_order_acq_rel) == m.own &&
               s_[kWide].begun.fetch_add(0, std::memory_order_acq_rel) == m.wide;
#else
        std::atomic_thread_fence(std::memory_order_acquire);
        return s_[stripe].begun.load(std::memory_order_relaxed) == m.own &&
               s_[kWide].begun.load(std::memory_order_relaxed) == m.wide;
#endif
    }

private:
    struct alignas(64) Stripe {
        mutable std::atomic<unsigned long long> begun{0};
        std::atomic<unsigned long long> ended{0};
    };
    Stripe s_[kWide + 1];
};

// Reads of one slot that met a write this many times in a row give up (a failed read).
constexpr int kMaxSlotReadAttempts = 100000;

}  // namespace

struct CIdxFileDepository::Private {
    struct Info {
        int maxLevel = 0;  // deepest selected level, 0 when none
        std::recursive_mutex mutex;
        STRUCT_DOWNLOAD_TASK task;
        CICD_IDX_FILE_HEADER header;
    };

    std::string idxPath;
    std::string datPath;
    // Open, Close and Create one at a time.
    std::mutex life;
    // Lock order: index, then data. Tile writes and reads take neither: they only enter `users`.
    // The index lock keeps the operations that write many slots (filling, states by level or
    // extent) apart; the data lock keeps header writes and repairs apart. The info mutex is a leaf.
    mutable std::recursive_mutex idxLock;
    mutable std::recursive_mutex dataLock;
    mutable FileUsers users;
    mutable SlotWrites slotWrites;
    std::atomic<std::FILE*> idx{nullptr};
    std::atomic<std::FILE*> dat{nullptr};
    std::unique_ptr<Info> info{new Info};
    std::atomic<bool> open{false};
    bool readOnly = false;  // guarded by `life`
    CDatIndexConvert converter;
    std::atomic<long long> slotCount{0};  // slots of levels 1 to the deepest
    // Where the next tile goes, shared with every other writer of the same data file; set while
    // open for writing (Open before `open`, Close after draining the users).
    VtSharedAppendEnd sharedEnd;
    // The index as it was when opened, in memory: a slot read is then a copy, not a system call.
    // Mapped before `open`, unmapped after draining the users; slots past it are read from the file.
    VtMappedFile indexView;
    // Without a shared end: the end of the data file as this depository knows it.
    std::atomic<long long> dataEnd{0};
    // Where FillIndex appends slots; guarded by idxLock.
    long long fillPos = 0;

    // One operation's use of the files; null files when closed or closing.
    class Use {
    public:
        explicit Use(const Private& p) : p_(p), in_(p.users.Enter()) {}
        ~Use() {
            if (in_) p_.users.Leave();
        }
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
        std::FILE* Index() const { return in_ ? p_.idx.load(std::memory_order_acquire) : nullptr; }
        std::FILE* Data() const { return in_ ? p_.dat.load(std::memory_order_acquire) : nullptr; }

    private:
        const Private& p_;
        const bool in_;
    };

    // Copies the header into the info block and the task, and refreshes the derived values.
    // The caller holds info->mutex.
    void TakeHeader(const CICD_IDX_FILE_HEADER& h) {
        info->header = h;
        TakeHeaderIntoTask(h, info->task);
        Refresh();
    }

    // Deepest level and slot count after a change of levels, extent or map type; under info->mutex.
    void Refresh() {
        const std::vector<int>& levels = info->header.m_vecLevels;
        info->maxLevel = levels.empty() ? 0 : *std::max_element(levels.begin(), levels.end());
        slotCount = converter.GetTileNumberUtilLevel(info->maxLevel);
    }

    void ConfigureConverter(const EXTENT& e, int mapType) {
        converter.SetExtent(e);
        converter.SetTileModelViaMap(mapType);
    }

    // Reads one slot of the open index `f` without a lock (see SlotWrites). A slot not wholly
    // inside a short index reads as zeros (state 0, no data). False when the file cannot be read.
    bool ReadSlotIn(std::FILE* f, long long slot, CICD_IDX_INDEX& out) const {
        if (f == nullptr || slot < 1 || slot > kMaxSlot) return false;
        unsigned char buf[kSlotSize] = {};
        const int stripe = SlotWrites::StripeOf(slot);
        for (int attempt = 0;; ++attempt) {
            const SlotWrites::Mark mark = slotWrites.Before(stripe);
            size_t got = sizeof buf;
            // From the view when it holds the slot still (the file may have been cut since); a
            // write of another process may be half done, so two copies must agree.
            unsigned char again[kSlotSize];
            const long long at = (slot - 1) * kSlotSize;
            const bool viewed = indexView.Copy(at, buf, sizeof buf) && indexView.Copy(at, again, sizeof again) &&
                                std::memcmp(buf, again, sizeof buf) == 0;
            if (!viewed && !VtReadAt(f, at, buf, sizeof buf, got)) return false;
            if (slotWrites.Unchanged(stripe, mark)) {
                // A slot cut by the end of the file is torn: none of its bytes can be trusted.
                if (got < sizeof buf) std::memset(buf, 0, sizeof buf);
                break;
            }
            if (attempt == kMaxSlotReadAttempts) return false;
            if (attempt >= 8) std::this_thread::yield();
        }
        // The 20 bytes CICD_IDX_INDEX reads (byte order 1, bit order 1), without a stream: this is
        // the path of every tile read.
        out.m_nMapID = static_cast<long long>(GetLE(buf, 8));
        out.m_nOffset = static_cast<long long>(GetLE(buf + 8, 8));
        out.m_nLength = static_cast<int>(static_cast<unsigned int>(GetLE(buf + 16, 4)));
        return true;
    }

    bool ReadSlot(long long slot, CICD_IDX_INDEX& out) const {
        const Use use(*this);
        return ReadSlotIn(use.Index(), slot, out);
    }

    // Reads exactly n bytes at offset of the open data file `f`; a short read (past the end of
    // the file) fails.
    static bool ReadDataIn(std::FILE* f, long long offset, unsigned char* buf, int n) {
        size_t got = 0;
        return f != nullptr && n >= 0 && VtReadAt(f, offset, buf, static_cast<size_t>(n), got) &&
               got == static_cast<size_t>(n);
    }

    // Writes the 100-byte header at the start of the data file.
    bool WriteHeader(const unsigned char* buf) {
        Lock lock(dataLock);
        const Use use(*this);
        return use.Data() != nullptr && VtWriteAt(use.Data(), 0, buf, kHeaderSize);
    }

    // Writes n bytes of whole or partial slots at byte `pos` of the index, counted as a wide write.
    bool WriteIndexSpan(long long pos, const unsigned char* buf, size_t n) {
        const Use use(*this);
        if (use.Index() == nullptr) return false;
        slotWrites.Begin(SlotWrites::kWide);
        const bool ok = VtWriteAt(use.Index(), pos, buf, n);
        slotWrites.End(SlotWrites::kWide);
        return ok;
    }

    // Writes `count` whole slots at byte `pos` of the index file and moves pos past them.
    bool WriteSlots(const unsigned char* buf, size_t count, long long& pos) {
        Lock lock(idxLock);
        const size_t bytes = count * static_cast<size_t>(kSlotSize);
        if (!WriteIndexSpan(pos, buf, bytes)) return false;
        pos += static_cast<long long>(bytes);
        return true;
    }

    // Claims len bytes at the end of the data file for one tile; concurrent claims get disjoint
    // ranges without waiting for each other. With the shared end this is one atomic addition seen
    // by every object and process writing the file. Without it, the start is the later of the end
    // this depository knows and the file's real end, so tiles that another writer appended
    // before are not overwritten (a system call per tile).
    long long ClaimData(std::FILE* f, int len) {
        if (sharedEnd.Attached()) return sharedEnd.Claim(len);
        const long long real = VtFileSize(f);
        long long known = dataEnd.load();
        long long start = 0;
        do {
            start = std::max(known, real);
        } while (!dataEnd.compare_exchange_weak(known, start + len));
        return start;
    }

    bool FillLevel(int level, CCreateProgressCallback* cb, long long total, ENUM_BLOCK_STATE state, long long& pos);
    bool SetStatesInLevel(int level, ENUM_BLOCK_STATE state, bool flush,
                          const std::function<bool(const CTileKey&)>& select);
};

// ---- callbacks ----

CIdxFileDepository::CCreateProgressCallback::~CCreateProgressCallback() = default;
void CIdxFileDepository::CCreateProgressCallback::Reserved() {}
void CIdxFileDepository::CCreateProgressCallback::OnStart(long long) {}
void CIdxFileDepository::CCreateProgressCallback::OnProgress(long long) {}
CIdxFileDepository::IDatFileReadVisitor::~IDatFileReadVisitor() = default;
bool CIdxFileDepository::IDatFileReadVisitor::OnPreview(CIdxFileDepository*, int, long long, const unsigned char*,
                                                        int) {
    return false;
}
CIdxFileDepository::IDatIndexStatusVisitor::~IDatIndexStatusVisitor() = default;

// ---- paths and life ----

CIdxFileDepository::CIdxFileDepository() : d(new Private) {}

CIdxFileDepository::~CIdxFileDepository() { Close(); }

void CIdxFileDepository::SetIndexFile(const std::string& idx) {
    d->idxPath = NormalisePath(idx);
    const bool rooted = !d->idxPath.empty() && d->idxPath[0] == '/';
    std::string dir = DirectoryOf(d->idxPath);
    if (dir.empty() && !rooted) dir = ".";  // a bare file name lies in the current directory
    d->datPath = dir + "/" + BaseNameOf(d->idxPath) + ".dat";
}

void CIdxFileDepository::SetIndexAndDATFile(const std::string& idx, const std::string& dat) {
    d->idxPath = idx;
    d->datPath = dat;
}

std::string CIdxFileDepository::GetIndexFile() const { return d->idxPath; }
std::string CIdxFileDepository::GetDATFile() const { return d->datPath; }
bool CIdxFileDepository::IsOpen() const { return d->open; }

bool CIdxFileDepository::Close() {
    std::lock_guard<std::mutex> life(d->life);
    if (!d->open) return true;
    d->open = false;
    // Operations under way finish with the files; those that start from now on are refused.
    d->users.Drain();
    Lock indexLock(d->idxLock);
    Lock dataLock(d->dataLock);
    d->indexView.Unmap();
    // Data before index, so that no slot reaches the disk before the bytes it points at.
    for (std::atomic<std::FILE*>* file : {&d->dat, &d->idx}) {
        std::FILE* f = file->exchange(nullptr);
        if (f == nullptr) continue;
        if (!d->readOnly) std::fflush(f);
        std::fclose(f);
    }
    d->sharedEnd.Detach();
    d->users.Admit();
    return true;
}

bool CIdxFileDepository::Delete() {
    if (d->open) return false;
    const bool idxRemoved = std::remove(NativePath(d->idxPath).c_str()) == 0;
    const bool datRemoved = std::remove(NativePath(d->datPath).c_str()) == 0;
    return idxRemoved && datRemoved;
}

// ---- create, open, validate ----

bool CIdxFileDepository::Create(const STRUCT_DOWNLOAD_TASK& task, bool overwrite, CCreateProgressCallback* cb,
                                ENUM_BLOCK_STATE initial) {
    std::lock_guard<std::mutex> life(d->life);
    if (d->open) return false;
    const bool exists = FileExists(d->idxPath) || FileExists(d->datPath);
    if (exists && !overwrite) return false;
    const std::vector<int> levels(task.level.begin(), task.level.end());
    if (!MakeDirectoryOf(d->idxPath) || !MakeDirectoryOf(d->datPath)) return false;
    // Any level is taken, but the index it needs must fit the file system (a deep level over a
    // large extent would otherwise fill the disk before failing), checked before an old
    // depository is removed.
    {
        const CDatIndexConvert conv(task.maptype, task.extent);
        const int deepest = levels.empty() ? 0 : *std::max_element(levels.begin(), levels.end());
        const long long slotTotal = conv.GetTileNumberUtilLevel(deepest);
        std::uint64_t freeBytes = 0;
        if (!VtQueryDiskFreeBytes(NativePath(d->idxPath), freeBytes)) {
            freeBytes = UINT64_MAX;  // unknown: the writes themselves will tell
        } else if (exists) {
            // The files about to be replaced give their space back.
            for (const std::string* path : {&d->idxPath, &d->datPath}) {
                const QFileInfo old(QFile::decodeName(NativePath(*path).c_str()));
                freeBytes += static_cast<std::uint64_t>(old.size());
            }
        }
        if (slotTotal > kMaxSlot || static_cast<std::uint64_t>(slotTotal) * kSlotSize > freeBytes) {
            VtLogError() << VtGB("[CIdxFileDepository::Create] 索引需要") << static_cast<unsigned long long>(slotTotal)
                         << VtGB("个位置,超出磁盘可用空间");
            return false;
        }
    }
    if (exists && !Delete()) return false;

    unsigned char headerBytes[kHeaderSize];
    {
        Lock lock(d->info->mutex);
        d->info->task = task;
        d->info->task.version = CICD_IDX_FILE_HEADER::kCurrentVersion;
        CICD_IDX_FILE_HEADER& h = d->info->header;
        h.Reset();
        h.m_nVersion = CICD_IDX_FILE_HEADER::kCurrentVersion;
        h.m_nMapType = task.maptype;
        h.m_bIsGoogleOffset = task.bIsGoogleOffset;
        h.m_dMinX = task.extent.minx;
        h.m_dMinY = task.extent.miny;
        h.m_dMaxX = task.extent.maxx;
        h.m_dMaxY = task.extent.maxy;
        h.m_nThemeType = task.MapItemType;
        h.m_nMixType = task.DownImgeType;
        h.m_vecLevels = levels;
        d->ConfigureConverter(task.extent, task.maptype);
        d->Refresh();
        if (!SerializeHeader(h, headerBytes)) {
            VtLogError() << "[CIdxFileDepository::Create] " << h.GetErrorText();
            return false;
        }
    }

    {
        Lock indexLock(d->idxLock);
        Lock dataLock(d->dataLock);
        d->idx = OpenFile(d->idxPath, "wb");
        d->dat = OpenFile(d->datPath, "wb");
        d->fillPos = 0;
    }
    bool ok = d->idx.load() != nullptr && d->dat.load() != nullptr;
    ok = ok && d->WriteHeader(headerBytes);
    ok = ok && FillIndex(cb, d->converter.GetTileNumberUtilLevel(GetMaxLevel()), initial);
    {
        Lock indexLock(d->idxLock);
        Lock dataLock(d->dataLock);
        for (std::atomic<std::FILE*>* file : {&d->dat, &d->idx}) {
            std::FILE* f = file->exchange(nullptr);
            if (f == nullptr) continue;
            ok = std::fflush(f) == 0 && ok;
            ok = std::fclose(f) == 0 && ok;
        }
    }
    return ok;
}

bool CIdxFileDepository::Open(bool readOnly) {
    std::lock_guard<std::mutex> life(d->life);
    if (d->open) return true;
    if (!FileExists(d->idxPath) || !FileExists(d->datPath)) return false;
    CICD_IDX_FILE_HEADER header;
    {
        Lock lock(d->dataLock);
        const HeaderRead r = ReadHeaderFile(d->datPath, header);
        if (r != HEADER_OK) {
            LogHeaderFailure(r, "Open时pFD为空，操作文件失败！",
                             "Idx文件仓库.打开已经存在的文件时,文件尺寸小于文件头长度,非法.",
                             "Idx文件仓库.打开已经存在的文件时,数据校验失败.不是idx合法的文件仓库文件.");
            return false;
        }
    }
    const char* mode = readOnly ? "rb" : "rb+";
    {
        Lock indexLock(d->idxLock);
        Lock dataLock(d->dataLock);
        std::FILE* idx = OpenFile(d->idxPath, mode);
        std::FILE* dat = OpenFile(d->datPath, mode);
        if (idx == nullptr || dat == nullptr) {
            if (idx != nullptr) std::fclose(idx);
            if (dat != nullptr) std::fclose(dat);
            return false;
        }
        d->dataEnd = VtFileSize(dat);
        d->fillPos = VtFileSize(idx);
        if (!readOnly && !d->sharedEnd.Attach(dat)) {
            VtLogWarn() << VtGB("数据文件的共享写入位置不可用，每次写入前查询文件长度");
        }
        // Slot reads fall back to the file when the index cannot be mapped.
        d->indexView.Map(idx, d->fillPos);
        d->idx = idx;
        d->dat = dat;
    }
    {
        Lock lock(d->info->mutex);
        d->info->task.path = FromGb(d->idxPath);
        d->info->task.name = FromGb(BaseNameOf(d->idxPath));
        d->ConfigureConverter(EXTENT{header.m_dMinX, header.m_dMinY, header.m_dMaxX, header.m_dMaxY},
                              header.m_nMapType);
        d->TakeHeader(header);
    }
    d->readOnly = readOnly;
    d->open = true;
    return true;
}

bool CIdxFileDepository::IsFileValid() const {
    if (d->open) return true;
    if (!FileExists(d->idxPath) || !FileExists(d->datPath)) return false;
    CICD_IDX_FILE_HEADER header;
    Lock lock(d->dataLock);
    const HeaderRead r = ReadHeaderFile(d->datPath, header);
    LogHeaderFailure(r, "IsFileValid时pFD为空，操作文件失败！",
                     "校验Idx文件仓库头失败.文件尺寸小于文件头长度,非法.",
                     "校验Idx文件仓库头失败,数据校验失败.不是idx合法的文件仓库文件.");
    return r == HEADER_OK;
}

STRUCT_DOWNLOAD_TASK CIdxFileDepository::ReadDatFileInfo(const std::string& dat) {
    STRUCT_DOWNLOAD_TASK task;
    if (!FileExists(dat)) return task;
    CICD_IDX_FILE_HEADER header;
    const HeaderRead r = ReadHeaderFile(dat, header);
    if (r != HEADER_OK) {
        LogHeaderFailure(r, "[ReadDatFileInfo] Open时pFD为空，操作文件失败！",
                         "[ReadDatFileInfo] Idx文件仓库.打开已经存在的文件时,文件尺寸小于文件头长度,非法.",
                         "Idx文件仓库.打开已经存在的文件时,数据校验失败.不是idx合法的文件仓库文件.");
        return task;
    }
    TakeHeaderIntoTask(header, task);
    task.path = FromGb(dat);
    task.name = FromGb(BaseNameOf(dat));
    return task;
}

STRUCT_DOWNLOAD_TASK CIdxFileDepository::GetDatFileInfo() const {
    Lock lock(d->info->mutex);
    return d->info->task;
}

std::string CIdxFileDepository::GetDescription() const {
    CICD_IDX_FILE_HEADER h;
    {
        Lock lock(d->info->mutex);
        h = d->info->header;
    }
    std::ostringstream out;
    out << "version:" << h.m_nVersion << "\r\n";
    out << "map type:" << h.m_nMapType << "\r\n";
    out << "level : ";
    for (int level : h.m_vecLevels) out << level << " ";
    out << "\r\n";
    out << "google offset:" << (h.m_bIsGoogleOffset ? "[Yes]" : "[No]") << "\r\n";
    out << "theme type:" << h.m_nThemeType << "\r\n";
    out << "epsg:" << h.m_nEpsg << "\r\n";
    out << "mix type:" << h.m_nMixType << "\r\n";
    out << "extent[" << h.m_dMinX << "," << h.m_dMinY << "," << h.m_dMaxX << "," << h.m_dMaxY << "\r\n";
    return out.str();
}

// ---- header updates ----

bool CIdxFileDepository::UpdateDatFileInfo(const STRUCT_DOWNLOAD_TASK& task) {
    if (!d->open) return false;
    const std::vector<int> levels(task.level.begin(), task.level.end());
    unsigned char buf[kHeaderSize];
    {
        Lock lock(d->info->mutex);
        CICD_IDX_FILE_HEADER h = d->info->header;
        h.m_bIsGoogleOffset = task.bIsGoogleOffset;
        h.m_nVersion = task.version;
        h.m_nMapType = task.maptype;
        h.m_dMinX = task.extent.minx;
        h.m_dMinY = task.extent.miny;
        h.m_dMaxX = task.extent.maxx;
        h.m_dMaxY = task.extent.maxy;
        h.m_vecLevels = levels;
        d->ConfigureConverter(task.extent, task.maptype);
        d->TakeHeader(h);
        if (!SerializeHeader(d->info->header, buf)) return false;
    }
    if (d->dat.load() == nullptr) {
        VtLogError() << VtGB("UpdateDatFileInfo时m_pDatFD为空，操作文件失败！");
        return false;
    }
    return d->WriteHeader(buf);
}

bool CIdxFileDepository::UpdateDATHeader() {
    if (!d->open) return false;
    unsigned char buf[kHeaderSize];
    {
        Lock lock(d->info->mutex);
        if (!SerializeHeader(d->info->header, buf)) return false;
    }
    if (d->dat.load() == nullptr) {
        VtLogError() << VtGB("UpdateDATHeader时m_pDatFD为空，操作文件失败！");
        return false;
    }
    return d->WriteHeader(buf);
}

void CIdxFileDepository::SetBatchVersion(unsigned short version) {
    {
        Lock lock(d->info->mutex);
        d->info->header.m_nBatchVersion = version;
    }
    UpdateDATHeader();
}

unsigned short CIdxFileDepository::BatchVersion() const {
    Lock lock(d->info->mutex);
    return d->info->header.m_nBatchVersion;
}

// ---- writing tiles and states ----

bool CIdxFileDepository::WriteBuffer(long long slot, unsigned char* buf, int len, bool flush) {
    if (!d->open) {
        VtLogError() << VtGB("缓存写入文件失败，原因是文件未打开");
        return false;
    }
    if (buf == nullptr || len < 1) {
        VtLogError() << VtGB("缓存写入文件失败，原因是缓存为空或长度为0");
        return false;
    }
    if (slot < 1 || slot > std::min(d->slotCount.load(), kMaxSlot)) {
        VtLogError() << VtGB("缓存写入文件失败，原因是索引超出范围");
        return false;
    }
    const Private::Use use(*d);
    std::FILE* dat = use.Data();
    std::FILE* idx = use.Index();
    if (dat == nullptr || idx == nullptr) {
        VtLogError() << VtGB("WriteBuffer时m_pDatFD或m_pIdxFD为空，操作文件失败！");
        return false;
    }
    // The bytes go to a range of the data file that no other write claims, and the slot is
    // repointed only after they are all written, so a crash in between leaves the slot at its
    // previous, complete copy. Neither step waits for another writer.
    const long long offset = d->ClaimData(dat, len);
    if (offset < kFirstDataOffset || !VtWriteAt(dat, offset, buf, static_cast<size_t>(len))) {
        VtLogError() << VtGB("WriteBuffer时fwrite错误1，操作文件失败！");
        return false;
    }
    // Offset and length in one positioned write: a crash never leaves a new offset with an old
    // length, and readers of this object never see the write half done (SlotWrites).
    unsigned char field[12];
    PutLE(field, static_cast<unsigned long long>(offset), 8);
    PutLE(field + 8, static_cast<unsigned int>(len), 4);
    const int stripe = SlotWrites::StripeOf(slot);
    size_t written = 0;
    d->slotWrites.Begin(stripe);
    const bool ok = VtWriteAt(idx, slot * kSlotSize - 12, field, sizeof field, written);
    d->slotWrites.End(stripe);
    if (!ok) {
        VtLogError() << VtGB(written < 8 ? "WriteBuffer时fwrite错误2，操作文件失败！"
                                         : "WriteBuffer时fwrite错误3，操作文件失败！");
        return false;
    }
    // Positioned writes leave nothing in stdio's buffers: with or without `flush`, every byte has
    // reached the operating system.
    (void)flush;
    return true;
}

bool CIdxFileDepository::WriteBufferViaMapIndex(int level, long long mapID, unsigned char* buf, int len,
                                                bool flush) {
    return WriteBuffer(GetIndex(level, mapID), buf, len, flush);
}

bool CIdxFileDepository::WriteBufferViaTile(const CTileKey& key, unsigned char* buf, int len, bool flush) {
    long long slot;
    {
        Lock lock(d->info->mutex);
        slot = d->converter.ConvertToDatIndex(key);
    }
    return WriteBuffer(slot, buf, len, flush);
}

bool CIdxFileDepository::SetFileIndexStatus(long long slot, ENUM_BLOCK_STATE state, bool flush) {
    if (!d->open) {
        VtLogError() << VtGB("设置Dat索引状态失败，原因是文件未打开");
        return false;
    }
    unsigned char field[8];
    PutLE(field, static_cast<unsigned long long>(static_cast<long long>(state)), 8);
    bool ok = false;
    if (slot >= 1 && slot <= kMaxSlot) {
        const Private::Use use(*d);
        const int stripe = SlotWrites::StripeOf(slot);
        d->slotWrites.Begin(stripe);
        ok = use.Index() != nullptr && VtWriteAt(use.Index(), slot * kSlotSize - 12, field, 8);
        d->slotWrites.End(stripe);
    }
    (void)flush;  // positioned writes: nothing stays in stdio's buffers
    if (!ok) {
        VtLogError() << VtGB("设置Dat索引状态失败，原因是fwrite文件写入失败");
        return false;
    }
    return true;
}

bool CIdxFileDepository::SetFileIndexStatusViaMapIndex(int level, long long mapID, ENUM_BLOCK_STATE state,
                                                       bool flush) {
    return SetFileIndexStatus(GetIndex(level, mapID), state, flush);
}

bool CIdxFileDepository::SetFileIndexStatusViaTile(const CTileKey& key, ENUM_BLOCK_STATE state, bool flush) {
    long long slot;
    {
        Lock lock(d->info->mutex);
        slot = d->converter.ConvertToDatIndex(key);
    }
    return SetFileIndexStatus(slot, state, flush);
}

// Sets the state of the selected tiles of one level in batches of slots. Only runs of selected
// slots are written back, so a tile that a concurrent WriteBuffer points another slot at is kept.
bool CIdxFileDepository::Private::SetStatesInLevel(int level, ENUM_BLOCK_STATE state, bool /*flush*/,
                                                   const std::function<bool(const CTileKey&)>& select) {
    CDatIndexConvert conv;
    {
        Lock lock(info->mutex);
        if (level < 1 || level > info->maxLevel) return false;
        conv = converter;
    }
    CTileKey minKey, maxKey;
    if (!conv.GetTileBound(minKey, maxKey, level)) return false;
    const long long cols = static_cast<long long>(maxKey.GetTileX()) - minKey.GetTileX() + 1;
    const long long total = conv.GetTileNumber(level);
    if (cols < 1 || total < 1) return true;
    const long long first = conv.GetTileNumberUtilLevel(level - 1) + 1;
    const E_TILE_MODEL model = minKey.GetTileModel();

    std::vector<unsigned char> batch;
    for (long long done = 0; done < total;) {
        const long long count = std::min<long long>(total - done, kFillBatchSlots);
        batch.assign(static_cast<size_t>(count * kSlotSize), 0);
        Lock lock(idxLock);
        const long long at = (first + done - 1) * kSlotSize;
        size_t got = 0;
        {
            const Use use(*this);
            if (use.Index() == nullptr || !VtReadAt(use.Index(), at, batch.data(), batch.size(), got)) return false;
        }
        // Slots past the end of a short index read as zeros, a torn last slot too.
        std::fill(batch.begin() + static_cast<long>(got - got % kSlotSize), batch.end(), 0);
        // A run of selected slots is written from its first offset field to its last one; the
        // map IDs and lengths in between are those just read (a state makes the length moot).
        long long runStart = -1;
        for (long long i = 0; i <= count; ++i) {
            bool selected = false;
            if (i < count) {
                const long long pos = done + i;
                const CTileKey key(level - 1, static_cast<int>(minKey.GetTileX() + pos % cols),
                                   static_cast<int>(minKey.GetTileY() + pos / cols), model);
                selected = select(key);
            }
            if (selected) {
                PutLE(batch.data() + i * kSlotSize + 8,
                      static_cast<unsigned long long>(static_cast<long long>(state)), 8);
                if (runStart < 0) runStart = i;
                continue;
            }
            if (runStart < 0) continue;
            const long long from = runStart * kSlotSize + 8;
            const long long to = (i - 1) * kSlotSize + 16;
            runStart = -1;
            if (!WriteIndexSpan(at + from, batch.data() + from, static_cast<size_t>(to - from))) {
                VtLogError() << VtGB("设置Dat索引状态失败，原因是fwrite文件写入失败");
                return false;
            }
        }
        done += count;
    }
    return true;
}

bool CIdxFileDepository::SetIndexStatusViaLevel(int level, ENUM_BLOCK_STATE state, bool flush) {
    if (!d->open) return false;
    return d->SetStatesInLevel(level, state, flush, [](const CTileKey&) { return true; });
}

bool CIdxFileDepository::SetIndexStatusViaExtent(const EXTENT& e, ENUM_BLOCK_STATE state, bool inside, bool flush) {
    if (!d->open) return false;
    const CDatIndexConvert region(GetMapType(), e);
    for (int level : GetLevelList()) {
        CTileKey minKey, maxKey;
        if (!region.GetTileBound(minKey, maxKey, level)) continue;
        auto select = [&](const CTileKey& key) { return InTileRange(key, minKey, maxKey) == inside; };
        if (!d->SetStatesInLevel(level, state, flush, select)) return false;
    }
    return true;
}

void CIdxFileDepository::FlushIdxFile() {
    const Private::Use use(*d);
    if (use.Index() != nullptr) std::fflush(use.Index());
}

void CIdxFileDepository::FlushDATFile() {
    const Private::Use use(*d);
    if (use.Data() != nullptr) std::fflush(use.Data());
}

// ---- reading ----

// Reads take no lock: a slot is repointed only after its new bytes are complete, and bytes once
// written are never changed (RepairTDT190ER aside), so whichever copy a slot names is whole.
int CIdxFileDepository::ReadBuffer(long long slot, unsigned char* buf, int size) const {
    if (buf == nullptr || size < 1 || slot < 1 || !d->open) return -1;
    const Private::Use use(*d);
    CICD_IDX_INDEX s;
    if (!d->ReadSlotIn(use.Index(), slot, s)) return -1;
    if (s.m_nOffset < kFirstDataOffset || s.m_nLength < 1 || size < s.m_nLength) return -1;
    return Private::ReadDataIn(use.Data(), s.m_nOffset, buf, s.m_nLength) ? s.m_nLength : -1;
}

int CIdxFileDepository::ReadBufferLimit(long long slot, unsigned char* buf, int size) const {
    if (buf == nullptr || size < 1 || slot < 1 || !d->open) return -1;
    const Private::Use use(*d);
    CICD_IDX_INDEX s;
    if (!d->ReadSlotIn(use.Index(), slot, s)) return -1;
    if (s.m_nOffset < kFirstDataOffset || s.m_nLength < 1) return -1;
    const int n = std::min(s.m_nLength, size);
    return Private::ReadDataIn(use.Data(), s.m_nOffset, buf, n) ? n : -1;
}

CCache CIdxFileDepository::ReadBuffer(E_QUERY_RESULT& result, long long slot) {
    CCache cache;
    if (slot < 1) {
        VtLogDebug() << VtGB("CIdxFileDepository::ReadBuffer错误，索引小于1");
        result = QUERY_DATA_ERROR;
        return cache;
    }
    if (!d->open) {
        VtLogDebug() << VtGB("CIdxFileDepository::ReadBuffer错误，未打开");
        result = QUERY_DATA_ERROR;
        return cache;
    }
    const Private::Use use(*d);
    CICD_IDX_INDEX s;
    if (!d->ReadSlotIn(use.Index(), slot, s)) {
        VtLogDebug() << VtGB("CIdxFileDepository::ReadBuffer错误，索引文件打开失败");
        result = QUERY_DATA_ERROR;
        return cache;
    }
    if (s.m_nOffset < kFirstDataOffset || s.m_nLength < 1) {
        VtLogDebug() << VtGB("CIdxFileDepository::ReadBuffer，没有存数据");
        result = QUERY_NO_DATA;
        return cache;
    }
    if (s.m_nLength > kMaxTileLength) {
        VtLogDebug() << VtGB("CIdxFileDepository::ReadBuffer错误，长度超限");
        result = QUERY_ERROR;
        return cache;
    }
    unsigned char* bytes = new (std::nothrow) unsigned char[static_cast<size_t>(s.m_nLength) + 1];
    if (bytes == nullptr) {
        result = QUERY_ERROR;
        return cache;
    }
    bytes[s.m_nLength] = 0;
    if (!Private::ReadDataIn(use.Data(), s.m_nOffset, bytes, s.m_nLength)) {
        // A slot pointing past the end of the data file: a failed read, never a short tile.
        delete[] bytes;
        VtLogDebug() << VtGB("CIdxFileDepository::ReadBuffer错误，数据文件读取失败");
        result = QUERY_DATA_ERROR;
        return cache;
    }
    cache.Attach(bytes, s.m_nLength);
    cache.SetOwner(true);
    result = QUERY_OK;
    return cache;
}

int CIdxFileDepository::GetBufferLength(long long slot) const {
    if (slot < 1 || !d->open) return 0;
    CICD_IDX_INDEX s;
    return d->ReadSlot(slot, s) ? s.m_nLength : 0;
}

long long CIdxFileDepository::GetFileIndexOffset(long long slot) const {
    if (slot < 1 || !d->open) return -1;
    const Private::Use use(*d);
    if (use.Index() == nullptr) {
        VtLogError() << VtGB("GetFileIndexOffset时m_pIdxFD为空，操作文件失败！");
        return -1;
    }
    CICD_IDX_INDEX s;
    return d->ReadSlotIn(use.Index(), slot, s) ? s.m_nOffset : -1;
}

ENUM_BLOCK_STATE CIdxFileDepository::GetFileIndexStatus(long long slot) {
    return StateOfOffset(GetFileIndexOffset(slot));
}

bool CIdxFileDepository::IsFileIndexHavData(long long slot) const {
    return GetFileIndexOffset(slot) >= kFirstDataOffset;
}

bool CIdxFileDepository::GetIndexInfo(long long& mapID, long long& offset, int& length, long long slot) const {
    if (slot < 1 || !d->open) return false;
    const Private::Use use(*d);
    if (use.Index() == nullptr) {
        VtLogError() << VtGB("GetIndexInfo时m_pIdxFD为空，操作文件失败！");
        return false;
    }
    CICD_IDX_INDEX s;
    if (!d->ReadSlotIn(use.Index(), slot, s)) return false;
    mapID = s.m_nMapID;
    offset = s.m_nOffset;
    length = s.m_nLength;
    return true;
}

// ---- walking ----

namespace {

// Calls visit(level, key, slot) for every tile of the selected levels, rows then columns, until
// it returns true. `bounds` gives the tiles of a level; `slotOf` their slots (< 1: skipped).
template <typename Visit>
bool ForEachTile(const std::vector<int>& levels, const CDatIndexConvert& bounds, const CDatIndexConvert& own,
                 bool sameConverter, Visit visit) {
    for (int level : levels) {
        CTileKey minKey, maxKey;
        if (!bounds.GetTileBound(minKey, maxKey, level)) continue;
        const long long cols = static_cast<long long>(maxKey.GetTileX()) - minKey.GetTileX() + 1;
        const long long first = own.GetTileNumberUtilLevel(level - 1) + 1;
        for (int row = minKey.GetTileY(); row <= maxKey.GetTileY(); ++row) {
            for (int col = minKey.GetTileX(); col <= maxKey.GetTileX(); ++col) {
                const CTileKey key(level - 1, col, row, minKey.GetTileModel());
                // Within its own extent a level's slots are consecutive, row after row.
                const long long slot = sameConverter
                                           ? first + (static_cast<long long>(row) - minKey.GetTileY()) * cols +
                                                 (col - minKey.GetTileX())
                                           : own.ConvertToDatIndex(key);
                if (slot < 1) continue;
                if (visit(level, key, slot)) return true;
            }
        }
    }
    return false;
}

}  // namespace

bool CIdxFileDepository::Travel(IDatFileReadVisitor& v) {
    const std::vector<int> levels = GetLevelList();
    const CDatIndexConvert conv = [this] {
        Lock lock(d->info->mutex);
        return d->converter;
    }();
    std::vector<unsigned char> buf(kTravelBuffer, 0);
    ForEachTile(levels, conv, conv, true, [&](int level, const CTileKey& key, long long slot) {
        const int n = ReadBuffer(slot, buf.data(), kTravelBuffer);
        return n > 0 && v.OnReadData(this, level, key.ToMapID(), buf.data(), n);
    });
    return true;
}

bool CIdxFileDepository::Travel(const EXTENT& e, IDatFileReadVisitor& v) {
    const std::vector<int> levels = GetLevelList();
    const CDatIndexConvert region(GetMapType(), e);
    const CDatIndexConvert conv = [this] {
        Lock lock(d->info->mutex);
        return d->converter;
    }();
    std::vector<unsigned char> buf(kTravelBuffer, 0);
    ForEachTile(levels, region, conv, false, [&](int level, const CTileKey& key, long long slot) {
        const int n = ReadBuffer(slot, buf.data(), kTravelBuffer);
        return n > 0 && v.OnReadData(this, level, key.ToMapID(), buf.data(), n);
    });
    return true;
}

bool CIdxFileDepository::TravelData(int headLength, IDatFileReadVisitor& v) {
    if (headLength < 1 || headLength >= kTravelBuffer) return false;
    const std::vector<int> levels = GetLevelList();
    const CDatIndexConvert conv = [this] {
        Lock lock(d->info->mutex);
        return d->converter;
    }();
    std::vector<unsigned char> head(static_cast<size_t>(headLength) + 1, 0);
    std::vector<unsigned char> buf;
    ForEachTile(levels, conv, conv, true, [&](int level, const CTileKey& key, long long slot) {
        // Every tile is previewed; a slot without data shows a zeroed head.
        std::fill(head.begin(), head.end(), 0);
        ReadBufferLimit(slot, head.data(), headLength);
        const long long mapID = key.ToMapID();
        if (!v.OnPreview(this, level, mapID, head.data(), headLength)) return false;
        if (buf.empty()) buf.assign(kTravelBuffer, 0);
        const int n = ReadBuffer(slot, buf.data(), kTravelBuffer);
        return n > 0 && v.OnReadData(this, level, mapID, buf.data(), n);
    });
    return true;
}

bool CIdxFileDepository::TravelStatus(IDatIndexStatusVisitor& v) {
    const std::vector<int> levels = GetLevelList();
    const CDatIndexConvert conv = [this] {
        Lock lock(d->info->mutex);
        return d->converter;
    }();
    ForEachTile(levels, conv, conv, true, [&](int level, const CTileKey&, long long slot) {
        long long mapID = 0;
        long long offset = 0;
        int length = 0;
        const bool have = GetIndexInfo(mapID, offset, length, slot);
        return v.OnStatus(this, level, mapID, offset, length, slot, have, StateOfOffset(offset));
    });
    return true;
}

// ---- levels and queries ----

namespace {

void AddSorted(std::vector<int>& levels, int level) {
    if (std::find(levels.begin(), levels.end(), level) != levels.end()) return;
    levels.push_back(level);
    std::sort(levels.begin(), levels.end());
}

}  // namespace

bool CIdxFileDepository::ExpandLevelTo(int level, CCreateProgressCallback* cb) {
    if (level < 1 || level > kMaxExpandLevel || !d->open) return false;
    int deepest = 0;
    long long slotsBefore = 0;
    long long total = 0;
    {
        Lock lock(d->info->mutex);
        deepest = d->info->maxLevel;
        slotsBefore = d->converter.GetTileNumberUtilLevel(deepest);
        total = d->converter.GetTileNumberUtilLevel(level) - slotsBefore;
    }
    auto addLevel = [this, level] {
        Lock lock(d->info->mutex);
        AddSorted(d->info->header.m_vecLevels, level);
        d->info->task.level = QList<int>(d->info->header.m_vecLevels.begin(), d->info->header.m_vecLevels.end());
        d->Refresh();
    };
    if (level > deepest) {
        Lock indexLock(d->idxLock);
        if (d->idx.load() == nullptr) {
            VtLogError() << VtGB("ExpandLevelTo时m_pIdxFD为空，操作文件失败！");
            return false;
        }
        // New levels start where the slots of the deepest level end, also when a crash left the
        // index short: the gap then reads as empty slots instead of shifting every later slot.
        d->fillPos = slotsBefore * kSlotSize;
        for (int l = deepest + 1; l <= level; ++l) {
            if (!d->FillLevel(l, cb, total, l == level ? BLOCK_WAITING : BLOCK_SKIPPED_LEVEL, d->fillPos)) return false;
        }
        addLevel();
        return UpdateDATHeader();
    }
    {
        Lock lock(d->info->mutex);
        const std::vector<int>& levels = d->info->header.m_vecLevels;
        if (std::find(levels.begin(), levels.end(), level) != levels.end()) return true;
    }
    addLevel();
    if (!SetIndexStatusViaLevel(level, BLOCK_WAITING, true)) return false;
    return UpdateDATHeader();
}

EXTENT CIdxFileDepository::GetExtent() {
    Lock lock(d->info->mutex);
    return d->info->task.extent;
}

std::vector<int> CIdxFileDepository::GetLevelList() {
    Lock lock(d->info->mutex);
    return d->info->header.m_vecLevels;
}

int CIdxFileDepository::GetMapType() const {
    Lock lock(d->info->mutex);
    return d->info->header.m_nMapType;
}

int CIdxFileDepository::GetThemeType() const {
    Lock lock(d->info->mutex);
    return d->info->header.m_nThemeType;
}

int CIdxFileDepository::GetEpsg() const {
    Lock lock(d->info->mutex);
    return d->info->header.m_nEpsg;
}

int CIdxFileDepository::GetMixType() const {
    Lock lock(d->info->mutex);
    return d->info->header.m_nMixType;
}

int CIdxFileDepository::GetMaxLevel() const {
    Lock lock(d->info->mutex);
    return d->info->maxLevel;
}

long long CIdxFileDepository::GetIndex(int level, long long mapID) const {
    Lock lock(d->info->mutex);
    return d->converter.ConvertToDatIndex(level, mapID);
}

long long CIdxFileDepository::GetMaxIndex() const {
    Lock lock(d->info->mutex);
    return d->converter.GetTileNumberUtilLevel(d->info->maxLevel);
}

int CIdxFileDepository::GetValidTileCount() const {
    Lock lock(d->info->mutex);
    long long total = 0;
    for (int level : d->info->header.m_vecLevels) total += d->converter.GetTileNumber(level);
    return total > INT_MAX ? INT_MAX : static_cast<int>(total);
}

bool CIdxFileDepository::ConvertDatIndexToMapIndex(long long& mapID, int& level, long long slot) const {
    CTileKey key;
    {
        Lock lock(d->info->mutex);
        key = d->converter.ConvertToTileKey(slot);
    }
    key.ChangeTileModel(TILE_MODEL_MAPID);
    mapID = key.ToMapID();
    level = key.GetLevel();
    return true;
}

CDatIndexConvert& CIdxFileDepository::GetIndexConverter() { return d->converter; }
const CDatIndexConvert& CIdxFileDepository::GetIndexConverter() const { return d->converter; }

bool CIdxFileDepository::IsOutOfDiskSpace() const {
    std::uint64_t freeBytes = 0;
    if (!VtQueryDiskFreeBytes(NativePath(d->datPath), freeBytes)) return false;
    return freeBytes < kMinFreeBytes;
}

// ---- index filling ----

bool CIdxFileDepository::FillIndex(CCreateProgressCallback* cb, long long total, ENUM_BLOCK_STATE state) {
    std::vector<int> levels = GetLevelList();
    const int deepest = GetMaxLevel();
    for (int level = 1; level <= deepest; ++level) {
        const bool selected = std::find(levels.begin(), levels.end(), level) != levels.end();
        Lock lock(d->idxLock);
        if (!d->FillLevel(level, cb, total, selected ? state : BLOCK_SKIPPED_LEVEL, d->fillPos)) return false;
    }
    return true;
}

void CIdxFileDepository::FillIndex(int level, CCreateProgressCallback* cb, long long total, ENUM_BLOCK_STATE state) {
    Lock lock(d->idxLock);
    d->FillLevel(level, cb, total, state, d->fillPos);
}

// Appends the slots of one level at byte `pos` of the index file, 64000 per write.
bool CIdxFileDepository::Private::FillLevel(int level, CCreateProgressCallback* cb, long long total,
                                            ENUM_BLOCK_STATE state, long long& pos) {
    if (total < 1) total = 1;
    if (cb != nullptr) cb->OnStart(total);
    CDatIndexConvert conv;
    {
        Lock lock(info->mutex);
        conv = converter;
    }
    CTileKey minKey, maxKey;
    if (!conv.GetTileBound(minKey, maxKey, level)) return false;
    std::vector<unsigned char> batch(static_cast<size_t>(kFillBatchSlots) * kSlotSize);
    size_t used = 0;
    long long batches = 0;
    const E_TILE_MODEL model = minKey.GetTileModel();
    for (int row = minKey.GetTileY(); row <= maxKey.GetTileY(); ++row) {
        // Map IDs run row by row, so one per row is computed and the columns count on from it.
        const long long rowID = CTileKey(level - 1, minKey.GetTileX(), row, model).ToMapID();
        for (int col = minKey.GetTileX(); col <= maxKey.GetTileX(); ++col) {
            EncodeSlot(batch.data() + used * kSlotSize, rowID + (col - minKey.GetTileX()), state, 0);
            if (++used == static_cast<size_t>(kFillBatchSlots)) {
                if (!WriteSlots(batch.data(), used, pos)) return false;
                used = 0;
                ++batches;
                if (cb != nullptr) cb->OnProgress(batches * kFillBatchSlots);
            }
        }
    }
    if (!WriteSlots(batch.data(), used, pos)) return false;
    if (cb != nullptr) cb->OnProgress(total);
    return true;
}

// ---- repair ----

bool CIdxFileDepository::RepairTDT190ER(long long slot, int shift, int length) {
    if (slot < 1 || !d->open) return false;
    CICD_IDX_INDEX s;
    {
        const Private::Use use(*d);
        if (use.Index() == nullptr) {
            VtLogError() << VtGB("GetFileIndexOffset时m_pIdxFD为空，操作文件失败！");
            return false;
        }
        if (!d->ReadSlotIn(use.Index(), slot, s)) return false;
    }
    bool repaired = false;
    const long long from = s.m_nOffset + shift;
    if (s.m_nOffset >= kFirstDataOffset && shift >= 0 && from >= kFirstDataOffset && s.m_nLength >= 4 &&
        s.m_nLength <= kMaxTileLength) {
        std::vector<unsigned char> bytes(static_cast<size_t>(s.m_nLength) + 1, 0);
        const int n = s.m_nLength;
        Lock lock(d->dataLock);
        const Private::Use use(*d);
        if (Private::ReadDataIn(use.Data(), from, bytes.data(), n) && bytes[0] == 0xFF && bytes[1] == 0xD8 &&
            bytes[n - 2] == 0xFF && bytes[n - 1] == 0xD9) {
            const int decodeLength = std::max(0, std::min(length, n));
            const QImage image = QImage::fromData(bytes.data(), decodeLength);
            if (!image.isNull() && VtWriteAt(use.Data(), s.m_nOffset, bytes.data(), static_cast<size_t>(n))) {
                repaired = true;
            }
        }
    }
    if (repaired) return true;
    SetFileIndexStatus(slot, BLOCK_DAMAGED, true);
    return false;
}
