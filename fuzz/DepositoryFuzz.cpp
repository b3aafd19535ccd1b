// Depository files and records are untrusted input: arbitrary bytes given to the header and slot
// deserialisers, to the bit-stream readers, and as the index and data files of a depository must
// never crash, read outside a buffer or make a read return bytes that the files do not hold.
#include "core/log/VtLog.h"
#include "storage/BinaryMemoryStream.h"
#include "storage/BitStream.h"
#include "storage/IdxFileDepository.h"
#include "storage/IdxFileHeader.h"
#include "storage/IdxIndex.h"
#include "storage/LegacyIdxFileHeader.h"

#include <QDir>
#include <QString>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using Bytes = std::vector<unsigned char>;

void Require(bool condition) {
    if (!condition) std::abort();
}

// Header and slot records: whatever deserialises must serialise to 100 (20) bytes that read back
// to the same record.
void Records(const uint8_t* data, size_t size) {
    Bytes head(data, data + (size < 100 ? size : 100));
    if (!head.empty()) {
        CBinaryMemoryStream in(1, 1);
        in.Attach(head.data(), static_cast<int>(head.size()));
        CICD_IDX_FILE_HEADER h;
        if (in.Deserialize(h)) {
            Require(head.size() == 100);
            unsigned char out[100] = {};
            CBinaryMemoryStream w(1, 1);
            w.Attach(out, 100);
            w.Reset();
            Require(w.Serialize(h));
            CBinaryMemoryStream again(1, 1);
            again.Attach(out, 100);
            CICD_IDX_FILE_HEADER back;
            Require(again.Deserialize(back));
            // Stable after one pass (doubles compared as bytes: the input may hold NaNs).
            unsigned char twice[100] = {};
            CBinaryMemoryStream w2(1, 1);
            w2.Attach(twice, 100);
            w2.Reset();
            Require(w2.Serialize(back));
            Require(std::memcmp(out, twice, 100) == 0);
        }
        CBinaryMemoryStream legacyIn(1, 1);
        legacyIn.Attach(head.data(), static_cast<int>(head.size()));
        CICD_IDXFILE_HEADER legacy;
        if (legacyIn.Deserialize(legacy)) Require(legacy.GetSize() == 100);
    }
    for (size_t at = 0; at + 20 <= size && at < 400; at += 20) {
        Bytes one(data + at, data + at + 20);
        CBinaryMemoryStream in(1, 1);
        in.Attach(one.data(), 20);
        CICD_IDX_INDEX slot;
        Require(in.Deserialize(slot));
        unsigned char out[20] = {};
        CBinaryMemoryStream w(1, 1);
        w.Attach(out, 20);
        w.Reset();
        Require(w.Serialize(slot));
        Require(std::memcmp(out, one.data(), 20) == 0);
    }
}

// Bit streams: the input is a program of (width, value) pairs written in one order setting and
// read back; reads of the raw input in every setting stay inside it.
void Streams(const uint8_t* data, size_t size) {
    const int byteOrder = size > 0 ? data[0] & 1 : 1;
    const int bitOrder = size > 0 ? (data[0] >> 1) & 1 : 1;
    struct Field {
        int bits;
        uint64_t value;
    };
    std::vector<Field> fields;
    CBitStream w(byteOrder, bitOrder);
    for (size_t i = 1; i + 9 <= size && fields.size() < 512; i += 9) {
        Field f{1 + data[i] % 64, 0};
        std::memcpy(&f.value, data + i + 1, 8);
        if (f.bits < 64) f.value &= (uint64_t(1) << f.bits) - 1;
        Require(w.WriteUInt64(f.value, f.bits));
        fields.push_back(f);
    }
    Bytes written(w.GetBuffer(), w.GetBuffer() + w.GetWriteByteCount());
    CBitStream r(byteOrder, bitOrder);
    if (!written.empty()) r.Attach(written.data(), static_cast<int>(written.size()));
    for (const Field& f : fields) {
        uint64_t v = 0;
        Require(r.ReadUInt64(v, f.bits));
        Require(v == f.value);
    }

    Bytes raw(data, data + size);
    for (int order = 0; order < 4; ++order) {
        CBitStream s(order & 1, order >> 1);
        if (!raw.empty()) s.Attach(raw.data(), static_cast<int>(raw.size()));
        s.SetReadPos(size > 1 ? data[1] % 13 : 0);
        for (size_t i = 0; i < size && i < 256; ++i) {
            const int bits = data[i] % 70 - 3;  // also widths below 1 and above 64
            uint64_t v = 0;
            double d = 0;
            unsigned char chunk[9];
            bool ok = false;
            switch (i % 4) {
            case 0: ok = s.ReadUInt64(v, bits); break;
            case 1: ok = s.ReadDouble(d); break;
            case 2: ok = s.ReadBytes(chunk, data[i] % 10); break;
            default: { uint16_t h = 0; ok = s.ReadUInt16(h, bits % 17); break; }
            }
            Require(s.GetReadBitCount() <= static_cast<int>(raw.size()) * 8);
            if (!ok) break;
        }
    }
}

std::string Directory() {
    static const std::string dir = [] {
        const std::string d = QDir::tempPath().toStdString() + "/vt_depository_fuzz_" + std::to_string(::getpid());
        QDir().mkpath(QString::fromStdString(d));
        return d;
    }();
    return dir;
}

void WriteFile(const std::string& path, const uint8_t* p, size_t n) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return;
    if (n > 0) std::fwrite(p, 1, n, f);
    std::fclose(f);
}

// A valid header for levels 1 to 3 of the Web Mercator world (21 slotTotal).
Bytes ValidHeader(uint8_t variant) {
    CICD_IDX_FILE_HEADER h;
    h.m_nMapType = 1;
    h.m_vecLevels = {1, 2, 3};
    if (variant & 1) h.m_vecLevels = {3, 1};
    h.m_dMinX = -180;
    h.m_dMinY = -85.05112877980655;
    h.m_dMaxX = 180;
    h.m_dMaxY = 85.05112877980655;
    Bytes out(100, 0);
    CBinaryMemoryStream w(1, 1);
    w.Attach(out.data(), 100);
    w.Reset();
    Require(w.Serialize(h));
    return out;
}

class CReadAll : public CIdxFileDepository::IDatFileReadVisitor {
public:
    bool OnReadData(CIdxFileDepository*, int, long long, const unsigned char* data, int length) override {
        Require(data != nullptr && length > 0 && length < CIdxFileDepository::kTravelBuffer);
        return false;
    }
    bool OnPreview(CIdxFileDepository*, int, long long, const unsigned char*, int) override { return true; }
};

class CStatusAll : public CIdxFileDepository::IDatIndexStatusVisitor {
public:
    bool OnStatus(CIdxFileDepository*, int, long long, long long, int, long long, bool, ENUM_BLOCK_STATE) override {
        return false;
    }
};

// Depository files: the input split into a data file and an index file, either raw or behind a
// valid header (random bytes almost never make one). Every read either fails or returns exactly
// the bytes the slot names inside the data file.
void Depository(const uint8_t* data, size_t size) {
    if (size < 2) return;
    const size_t split = (static_cast<size_t>(data[0]) * 256 + data[1]) % (size - 1) + 2;
    const std::string idx = Directory() + "/f.idx";
    const std::string dat = Directory() + "/f.dat";
    Bytes datBytes;
    if (data[0] & 1) datBytes = ValidHeader(data[1]);
    datBytes.insert(datBytes.end(), data + 2, data + split);
    WriteFile(dat, datBytes.data(), datBytes.size());
    if (data[0] & 2) {
        // Slots built from the input that point into (and just past) the data file, so that reads
        // of real, cut and overlapping tiles are exercised too.
        Bytes slotBytes;
        for (size_t i = split; i + 4 <= size; i += 4) {
            const long long offset = 100 + (data[i] * 256 + data[i + 1]) % static_cast<long long>(datBytes.size() + 8);
            const int length = (data[i + 2] * 256 + data[i + 3]) % 700 - 100;
            unsigned char slot[20] = {};
            std::memcpy(slot + 8, &offset, 8);
            std::memcpy(slot + 16, &length, 4);
            slotBytes.insert(slotBytes.end(), slot, slot + 20);
        }
        WriteFile(idx, slotBytes.data(), slotBytes.size());
    } else {
        WriteFile(idx, data + split, size - split);
    }

    const STRUCT_DOWNLOAD_TASK info = CIdxFileDepository::ReadDatFileInfo(dat);
    (void)info;
    CIdxFileDepository dep;
    dep.SetIndexFile(idx);
    (void)dep.IsFileValid();
    if (!dep.Open(data[1] & 2)) return;
    const long long slotTotal = dep.GetMaxIndex();
    Require(slotTotal >= 0 && slotTotal <= 1LL << 40);
    Bytes buf(4096);
    for (long long slot = 0; slot <= slotTotal + 2 && slot <= 64; ++slot) {
        E_QUERY_RESULT result = QUERY_UNKNOWN;
        const CCache c = dep.ReadBuffer(result, slot);
        long long mapID = 0, offset = 0;
        int length = 0;
        const bool have = dep.GetIndexInfo(mapID, offset, length, slot);
        if (result == QUERY_OK) {
            Require(have && c.IsValid() && c.GetLength() == length && offset >= 100);
            Require(offset + length <= static_cast<long long>(datBytes.size()));
            Require(std::memcmp(c.GetData(), datBytes.data() + offset, static_cast<size_t>(length)) == 0);
        } else {
            Require(!c.IsValid());
        }
        const int n = dep.ReadBuffer(slot, buf.data(), static_cast<int>(buf.size()));
        Require(n == -1 || (n == length && result == QUERY_OK));
        (void)dep.GetFileIndexStatus(slot);
    }
    CReadAll reader;
    dep.Travel(reader);
    dep.TravelData(4, reader);
    CStatusAll status;
    dep.TravelStatus(status);
    (void)dep.GetDescription();
    if (!(data[1] & 2)) {
        unsigned char tile[3] = {1, 2, 3};
        if (slotTotal >= 1) {
            Require(dep.WriteBuffer(slotTotal, tile, 3, false));
            Require(dep.ReadBuffer(slotTotal, buf.data(), 3) == 3 && std::memcmp(buf.data(), tile, 3) == 0);
        }
        dep.SetFileIndexStatus(1, BLOCK_DAMAGED, false);
        dep.RepairTDT190ER(1 + data[1] % 4, data[0] % 5, 64);
        if (data[0] & 4) dep.ExpandLevelTo(4, nullptr);
    }
    dep.Close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        VtEnableAllLogModuleLevel(VTLOG_LEVEL_ALL, false);  // failures are expected by the thousand
        return true;
    }();
    (void)quiet;
    if (size > (1u << 20)) return 0;
    Records(data, size);
    Streams(data, size);
    // Every other input also goes to disk as a depository (file work dominates the run time).
    if (size >= 2 && (data[0] & 8) == 0) Depository(data, size);
    return 0;
}
