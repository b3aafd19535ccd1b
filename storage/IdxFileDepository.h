#pragma once

#include "core/VtCoreExport.h"
#include "storage/Cache.h"
#include "storage/DatIndexConvert.h"
#include "storage/DownloadTask.h"
#include "storage/TaskEnums.h"
#include "tile/Extent.h"
#include "tile/TileKey.h"

#include <memory>
#include <string>
#include <vector>

// The tiles of one download task on disk: an index file of 20-byte slots (one per tile of the
// task's extent at every level from 1 to the deepest) and a data file "<name>.dat" beside it that
// starts with a 100-byte header and then holds tile bytes back to back. Slots count from 1.
//
// Any number of threads may read and write one open depository. Tile writes and reads take no
// lock: a write claims its range at the end of the data file with one atomic step, appends the
// bytes, then repoints the slot with one 12-byte positioned write of offset and length; a read
// reads the slot, then the bytes it names. So a crash leaves every slot at a complete earlier
// copy (or without data), and a reader gets either the old or the new tile, never a mix. Writes
// of many slots (filling, states by level or extent) are kept apart by an index lock, header
// writes and repairs by a data lock, taken index before data. Close waits for the operations
// under way and refuses those that start meanwhile.
// Another depository object or process may append to the same files between this one's writes
// without losing tiles; writes of several objects at the same moment are not coordinated.
// Paths are 8-bit GB18030 text. Failures are return values plus one log record; nothing throws.
// A depository owns open files and cannot be copied.
class VTCORE_EXPORT CIdxFileDepository {
public:
    // Longest tile ReadBuffer(E_QUERY_RESULT&, slot) accepts; the walks read up to kTravelBuffer - 1.
    static constexpr int kMaxTileLength = 0x400C9;  // 262345
    static constexpr int kTravelBuffer = 0x40001;   // 262145
    static constexpr int kHeaderSize = 100;
    static constexpr int kSlotSize = 20;
    static constexpr int kMaxExpandLevel = 22;
    static constexpr int kFillBatchSlots = 64000;
    static constexpr unsigned long long kMinFreeBytes = 1048576;

    class VTCORE_EXPORT CCreateProgressCallback {
    public:
        virtual ~CCreateProgressCallback();
        virtual void Reserved();                 // not called by the depository
        virtual void OnStart(long long total);   // slots of the level about to be filled
        virtual void OnProgress(long long done);
    };

    class VTCORE_EXPORT IDatFileReadVisitor {
    public:
        virtual ~IDatFileReadVisitor();
        // A tile's bytes (level one-based). Return true to stop the walk.
        virtual bool OnReadData(CIdxFileDepository* dep, int level, long long mapID, const unsigned char* data,
                                int length) = 0;
        // The first headLength bytes of a tile. Return true to have the whole tile read.
        virtual bool OnPreview(CIdxFileDepository* dep, int level, long long mapID, const unsigned char* head,
                               int headLength);
    };

    class VTCORE_EXPORT IDatIndexStatusVisitor {
    public:
        virtual ~IDatIndexStatusVisitor();
        // One slot; haveInfo is false when the slot could not be read. Return true to stop.
        virtual bool OnStatus(CIdxFileDepository* dep, int level, long long mapID, long long offset, int length,
                              long long slot, bool haveInfo, ENUM_BLOCK_STATE state) = 0;
    };

    CIdxFileDepository();
    CIdxFileDepository(const CIdxFileDepository&) = delete;
    CIdxFileDepository& operator=(const CIdxFileDepository&) = delete;
    virtual ~CIdxFileDepository();  // closes

    // ---- paths and life ----
    // Normalises the path ("." dropped, ".." folded, "/" separators) and puts the data file beside
    // it: "<dir>/<name without last extension>.dat".
    void SetIndexFile(const std::string& idx);
    void SetIndexAndDATFile(const std::string& idx, const std::string& dat);
    std::string GetIndexFile() const;
    std::string GetDATFile() const;
    bool IsOpen() const;
    bool Close();   // true in every case
    bool Delete();  // false when open or when either file cannot be removed

    // ---- create, open, validate ----
    // Writes the header and one slot per tile of levels 1 to the deepest of task.level (selected
    // levels in `initial`, the others BLOCK_SKIPPED_LEVEL); leaves the depository closed. Any
    // level is taken (levels below 1 or without tiles add no slots). False when open, when the
    // files exist and !overwrite, when the index would not fit the free space of its file system
    // (checked before existing files are removed), or when a file cannot be written.
    bool Create(const STRUCT_DOWNLOAD_TASK& task, bool overwrite, CCreateProgressCallback* cb,
                ENUM_BLOCK_STATE initial);
    // True at once when open. False when a file is missing or the header is short or invalid
    // (file code, version); the levels it lists are taken as they are.
    bool Open(bool readOnly);
    bool IsFileValid() const;
    // The task described by a data file's header; a default task on any failure.
    static STRUCT_DOWNLOAD_TASK ReadDatFileInfo(const std::string& dat);
    STRUCT_DOWNLOAD_TASK GetDatFileInfo() const;
    std::string GetDescription() const;

    // ---- header updates ----
    bool UpdateDatFileInfo(const STRUCT_DOWNLOAD_TASK& task);
    bool UpdateDATHeader();
    void SetBatchVersion(unsigned short version);
    unsigned short BatchVersion() const;

    // ---- writing tiles and states ----
    // Appends len bytes and points the slot at them. The bytes and the slot reach the operating
    // system before it returns, whatever `flush` says. False when closed, for an empty buffer, a
    // slot outside 1..GetMaxIndex(), or a failed write, logged as the failure of the tile bytes
    // ("fwrite错误1"), of the slot's offset ("fwrite错误2") or of its length ("fwrite错误3").
    bool WriteBuffer(long long slot, unsigned char* buf, int len, bool flush);
    bool WriteBufferViaMapIndex(int level, long long mapID, unsigned char* buf, int len, bool flush);
    bool WriteBufferViaTile(const CTileKey& key, unsigned char* buf, int len, bool flush);
    bool SetFileIndexStatus(long long slot, ENUM_BLOCK_STATE state, bool flush);
    bool SetFileIndexStatusViaMapIndex(int level, long long mapID, ENUM_BLOCK_STATE state, bool flush);
    bool SetFileIndexStatusViaTile(const CTileKey& key, ENUM_BLOCK_STATE state, bool flush);
    bool SetIndexStatusViaLevel(int level, ENUM_BLOCK_STATE state, bool flush);
    // Sets the state of the tiles of every selected level that lie inside (inside = true) or
    // outside (false) the tile range of e.
    bool SetIndexStatusViaExtent(const EXTENT& e, ENUM_BLOCK_STATE state, bool inside, bool flush);
    void FlushIdxFile();
    void FlushDATFile();

    // ---- reading ----
    // Tile bytes into buf; the length, or -1 (no data, buffer too small, failed or short read).
    int ReadBuffer(long long slot, unsigned char* buf, int size) const;
    // At most `size` bytes of the tile; the count read, or -1.
    int ReadBufferLimit(long long slot, unsigned char* buf, int size) const;
    // An owning cache with the tile, or an empty one; result QUERY_OK, QUERY_NO_DATA,
    // QUERY_ERROR (longer than kMaxTileLength) or QUERY_DATA_ERROR.
    CCache ReadBuffer(E_QUERY_RESULT& result, long long slot);
    int GetBufferLength(long long slot) const;          // the slot's length field; 0 on failure
    long long GetFileIndexOffset(long long slot) const;  // the slot's offset field; -1 on failure
    ENUM_BLOCK_STATE GetFileIndexStatus(long long slot);
    bool IsFileIndexHavData(long long slot) const;
    bool GetIndexInfo(long long& mapID, long long& offset, int& length, long long slot) const;

    // ---- walking (levels of the level list, rows then columns) ----
    bool Travel(IDatFileReadVisitor& v);
    bool Travel(const EXTENT& e, IDatFileReadVisitor& v);
    // Previews the first headLength bytes of every tile (zeros where a slot holds none) and reads
    // the whole tile where OnPreview asks for it; false for headLength outside 1..262144.
    bool TravelData(int headLength, IDatFileReadVisitor& v);
    bool TravelStatus(IDatIndexStatusVisitor& v);

    // ---- levels and queries ----
    // Adds a level (1..22) to the selected ones, growing the index when it is deeper than the
    // deepest; its slots become BLOCK_WAITING.
    bool ExpandLevelTo(int level, CCreateProgressCallback* cb);
    EXTENT GetExtent();
    std::vector<int> GetLevelList();
    int GetMapType() const;
    int GetThemeType() const;
    int GetEpsg() const;
    int GetMixType() const;
    int GetMaxLevel() const;
    long long GetIndex(int level, long long mapID) const;
    long long GetMaxIndex() const;
    int GetValidTileCount() const;
    bool ConvertDatIndexToMapIndex(long long& mapID, int& level, long long slot) const;
    CDatIndexConvert& GetIndexConverter();
    const CDatIndexConvert& GetIndexConverter() const;
    // True when the file system holding the data file has less than 1 MiB free; false when
    // that cannot be queried.
    bool IsOutOfDiskSpace() const;

    // ---- index filling ----
    bool FillIndex(CCreateProgressCallback* cb, long long total, ENUM_BLOCK_STATE state);
    void FillIndex(int level, CCreateProgressCallback* cb, long long total, ENUM_BLOCK_STATE state);

    // ---- repair ----
    // Looks for a JPEG `shift` bytes into the slot's bytes; when found (and its first `length`
    // bytes decode) moves it to the slot's offset. Otherwise marks the slot BLOCK_DAMAGED.
    bool RepairTDT190ER(long long slot, int shift, int length);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
