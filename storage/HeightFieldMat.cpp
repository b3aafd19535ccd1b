#include "storage/HeightFieldMat.h"

#include "core/log/VtLog.h"
#include "storage/BinaryMemoryStream.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <locale>
#include <new>
#include <sstream>

namespace {

using Type = CHeightFieldMat::E_HEIGHT_FIELD_DATA_TYPE;

const int16_t kNodataInt16 = -32768;
const int32_t kNodataInt32 = -32768;
const float kNodataFloat = -32768.0f;
const double kNodataDouble = -32768.0;

constexpr int kHeaderBytes = 20;  // width, height, type, 11 reserved bytes

int BytesOf(Type t) {
    switch (t) {
    case CHeightFieldMat::HFDT_INT16: return 2;
    case CHeightFieldMat::HFDT_INT32: return 4;
    case CHeightFieldMat::HFDT_FLOAT32: return 4;
    case CHeightFieldMat::HFDT_FLOAT64: return 8;
    }
    return 0;
}

bool IsKnownType(Type t) { return BytesOf(t) != 0; }

template <typename T>
T Load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T>
void Put(unsigned char* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

double LoadDouble(Type t, const unsigned char* p) {
    switch (t) {
    case CHeightFieldMat::HFDT_INT16: return Load<int16_t>(p);
    case CHeightFieldMat::HFDT_INT32: return Load<int32_t>(p);
    case CHeightFieldMat::HFDT_FLOAT32: return Load<float>(p);
    case CHeightFieldMat::HFDT_FLOAT64: return Load<double>(p);
    }
    return 0.0;
}

float LoadFloat(Type t, const unsigned char* p) {
    switch (t) {
    case CHeightFieldMat::HFDT_INT16: return static_cast<float>(Load<int16_t>(p));
    case CHeightFieldMat::HFDT_INT32: return static_cast<float>(Load<int32_t>(p));
    case CHeightFieldMat::HFDT_FLOAT32: return Load<float>(p);
    case CHeightFieldMat::HFDT_FLOAT64: return static_cast<float>(Load<double>(p));
    }
    return 0.0f;
}

// Out-of-range double to float conversion is undefined; saturate to infinity instead.
float ToFloat(double v) {
    if (v > FLT_MAX) return INFINITY;
    if (v < -FLT_MAX) return -INFINITY;
    return static_cast<float>(v);
}

// Truncation toward zero whose result is then wrapped to the integer type. Values that have no
// 64-bit integer (NaN, infinities, beyond 2^63) give false.
bool Truncate(double v, int64_t& out) {
    if (!(std::fabs(v) < 9.2e18)) return false;
    out = static_cast<int64_t>(v);
    return true;
}

int16_t Wrap16(int64_t v) { return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint64_t>(v) & 0xFFFFu)); }
int32_t Wrap32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v) & 0xFFFFFFFFu)); }

// Stores v by the type's rule: float converted, double as is, integers truncated and wrapped.
// An integer target receives the no-data value when v has no integer value at all.
void StoreValue(Type t, unsigned char* p, double v) {
    int64_t i = 0;
    switch (t) {
    case CHeightFieldMat::HFDT_INT16: Put<int16_t>(p, Truncate(v, i) ? Wrap16(i) : kNodataInt16); break;
    case CHeightFieldMat::HFDT_INT32: Put<int32_t>(p, Truncate(v, i) ? Wrap32(i) : kNodataInt32); break;
    case CHeightFieldMat::HFDT_FLOAT32: Put<float>(p, ToFloat(v)); break;
    case CHeightFieldMat::HFDT_FLOAT64: Put<double>(p, v); break;
    }
}

const void* NodataOf(Type t) {
    switch (t) {
    case CHeightFieldMat::HFDT_INT16: return &kNodataInt16;
    case CHeightFieldMat::HFDT_INT32: return &kNodataInt32;
    case CHeightFieldMat::HFDT_FLOAT32: return &kNodataFloat;
    case CHeightFieldMat::HFDT_FLOAT64: return &kNodataDouble;
    }
    return nullptr;
}

// width * height * bytes without int overflow; -1 when negative or beyond INT_MAX.
long long CheckedSize(int width, int height, int bytes) {
    if (width < 0 || height < 0 || bytes <= 0) return -1;
    const long long n = static_cast<long long>(width) * height;
    if (n > INT_MAX / bytes) return -1;
    return n * bytes;
}

}  // namespace

double BilinearLerp(double topLeft, double topRight, double bottomLeft, double bottomRight, double tx, double ty) {
    return (1 - ty) * (1 - tx) * topLeft + (1 - ty) * tx * topRight + (1 - tx) * ty * bottomLeft +
           tx * ty * bottomRight;
}

CHeightFieldMat::CHeightFieldMat() : CHeightFieldMat(0, 0, HFDT_FLOAT32) {}

CHeightFieldMat::CHeightFieldMat(int width, int height, E_HEIGHT_FIELD_DATA_TYPE type)
    : m_nWidth(width), m_nHeight(height), m_eType(type), m_pData(nullptr), m_nBufferSize(0) {}

CHeightFieldMat::CHeightFieldMat(const CHeightFieldMat& other)
    : m_nWidth(other.m_nWidth), m_nHeight(other.m_nHeight), m_eType(other.m_eType), m_pData(nullptr), m_nBufferSize(0) {
    if (other.m_pData != nullptr && other.m_nBufferSize > 0) {
        m_pData = new (std::nothrow) unsigned char[static_cast<size_t>(other.m_nBufferSize)];
        if (m_pData != nullptr) {
            std::memcpy(m_pData, other.m_pData, static_cast<size_t>(other.m_nBufferSize));
            m_nBufferSize = other.m_nBufferSize;
        }
    }
}

CHeightFieldMat& CHeightFieldMat::operator=(const CHeightFieldMat& other) {
    if (this == &other) return *this;
    CHeightFieldMat copy(other);
    Destroy();
    m_nWidth = copy.m_nWidth;
    m_nHeight = copy.m_nHeight;
    m_eType = copy.m_eType;
    std::swap(m_pData, copy.m_pData);
    std::swap(m_nBufferSize, copy.m_nBufferSize);
    return *this;
}

CHeightFieldMat::~CHeightFieldMat() { delete[] m_pData; }

bool CHeightFieldMat::Create(int width, int height, E_HEIGHT_FIELD_DATA_TYPE type) {
    Destroy();
    m_nWidth = width;
    m_nHeight = height;
    m_eType = type;
    return Allocate();
}

bool CHeightFieldMat::Create() { return Create(m_nWidth, m_nHeight, m_eType); }

void CHeightFieldMat::Destroy() {
    delete[] m_pData;
    m_pData = nullptr;
    m_nBufferSize = 0;
}

bool CHeightFieldMat::Allocate() {
    Destroy();
    const long long size = CheckedSize(m_nWidth, m_nHeight, BytesOf(m_eType));
    if (size < 1) return false;
    m_pData = new (std::nothrow) unsigned char[static_cast<size_t>(size)];
    if (m_pData == nullptr) return false;
    m_nBufferSize = static_cast<int>(size);
    const int bytes = BytesOf(m_eType);
    const void* nodata = NodataOf(m_eType);
    for (long long off = 0; off < size; off += bytes) std::memcpy(m_pData + off, nodata, static_cast<size_t>(bytes));
    return true;
}

int CHeightFieldMat::CalculateBufferSize() const {
    const long long size = CheckedSize(m_nWidth, m_nHeight, BytesOf(m_eType));
    return size < 0 ? 0 : static_cast<int>(size);
}

int CHeightFieldMat::GetDataTypeByte() const { return BytesOf(m_eType); }

void CHeightFieldMat::SetDataPtr(void* p) {
    // The old buffer is not freed: a caller that took it with GetDataPtr owns it now.
    m_pData = static_cast<unsigned char*>(p);
    m_nBufferSize = m_pData != nullptr ? CalculateBufferSize() : 0;
}

void* CHeightFieldMat::GetRowPtr(int row) const { return GetOffset(row, 0); }

void* CHeightFieldMat::GetOffset(int row, int col) const {
    if (m_pData == nullptr || row < 0 || col < 0 || row >= m_nHeight || col >= m_nWidth) return nullptr;
    const long long off = (static_cast<long long>(row) * m_nWidth + col) * GetDataTypeByte();
    if (off + GetDataTypeByte() > m_nBufferSize) return nullptr;
    return m_pData + off;
}

void* CHeightFieldMat::GetNodata() const { return const_cast<void*>(NodataOf(m_eType)); }

double CHeightFieldMat::At(int row, int col) const {
    if (!IsKnownType(m_eType)) return 0.0;
    const void* p = GetOffset(row, col);
    if (p == nullptr) return LoadDouble(m_eType, static_cast<const unsigned char*>(NodataOf(m_eType)));
    return LoadDouble(m_eType, static_cast<const unsigned char*>(p));
}

bool CHeightFieldMat::CopyTo(void* dst, int n) const {
    if (dst == nullptr) return false;
    const int count = std::min(n, m_nBufferSize);
    if (count > 0 && m_pData != nullptr) std::memcpy(dst, m_pData, static_cast<size_t>(count));
    return true;
}

CHeightFieldMat CHeightFieldMat::SubRegion(int row0, int col0, int row1, int col1) {
    const bool ordered = row1 >= row0 && col1 >= col0;
    const bool inside = row0 >= 0 && col0 >= 0 && row1 <= m_nHeight && col1 <= m_nWidth;
    const bool empty = row1 == row0 || col1 == col0;
    if (!ordered || !inside || (!empty && m_pData == nullptr)) {
        VtLogWarn() << VtGB("[CHeightFieldMat::SubRegion] 获取子区域HF失败 nRow0=") << row0 << " nCol0=" << col0
                    << " nRow1=" << row1 << " nCol1=" << col1;
        return CHeightFieldMat();
    }
    CHeightFieldMat sub(col1 - col0, row1 - row0, m_eType);
    if (empty || !sub.Allocate()) return sub;
    const size_t rowBytes = static_cast<size_t>(sub.GetBytePerLine());
    for (int i = 0; i < sub.m_nHeight; ++i) {
        std::memcpy(sub.GetRowPtr(i), GetOffset(row0 + i, col0), rowBytes);
    }
    return sub;
}

bool CHeightFieldMat::FillRegion(int row, int col, const CHeightFieldMat& src) {
    if (row < 0 || col < 0 || static_cast<long long>(col) + src.m_nWidth > m_nWidth ||
        static_cast<long long>(row) + src.m_nHeight > m_nHeight) {
        return false;
    }
    if (src.m_pData == nullptr) {
        VtLogWarn() << VtGB("[CHeightFieldMat::FillRegion] 传入的HF数据错误");
        return true;
    }
    if (m_pData == nullptr || src.m_eType != m_eType || src.m_nBufferSize < src.CalculateBufferSize()) return false;
    const size_t rowBytes = static_cast<size_t>(src.GetBytePerLine());
    if (rowBytes == 0) return true;
    for (int i = 0; i < src.m_nHeight; ++i) std::memcpy(GetOffset(row + i, col), src.GetRowPtr(i), rowBytes);
    return true;
}

bool CHeightFieldMat::BlitRegion(int col, int row, const CHeightFieldMat& src, int srcCol, int srcRow, int w, int h) {
    const int rows = std::min(h, m_nHeight - row);
    if (rows < 1) return true;
    const int count = std::min(m_nWidth - col, w);
    if (count < 1 || row < 0 || col < 0 || srcRow < 0 || srcCol < 0) return false;
    if (m_pData == nullptr || src.m_pData == nullptr || src.m_eType != m_eType) return false;
    if (static_cast<long long>(srcRow) + rows > src.m_nHeight || static_cast<long long>(srcCol) + count > src.m_nWidth) {
        return false;
    }
    const size_t bytes = static_cast<size_t>(count) * static_cast<size_t>(GetDataTypeByte());
    for (int i = 0; i < rows; ++i) {
        void* dst = GetOffset(row + i, col);
        const void* from = src.GetOffset(srcRow + i, srcCol);
        if (dst == nullptr || from == nullptr) return false;
        std::memmove(dst, from, bytes);  // src may be this matrix
    }
    return true;
}

CHeightFieldMat CHeightFieldMat::ScaleTo(int newHeight, int newWidth) {
    CHeightFieldMat result(newWidth, newHeight, m_eType);
    result.Allocate();
    if (result.IsNull() || m_pData == nullptr || m_nWidth < 1 || m_nHeight < 1) return result;
    // The source coordinates and fractions are single precision on purpose: grids derived from
    // stored tiles must come out bit for bit as they always have.
    const float xScale = newWidth > 1 ? static_cast<float>(m_nWidth - 1) : 0.0f;
    const float yScale = newHeight > 1 ? static_cast<float>(m_nHeight - 1) : 0.0f;
    const float xDiv = newWidth > 1 ? static_cast<float>(newWidth - 1) : 1.0f;
    const float yDiv = newHeight > 1 ? static_cast<float>(newHeight - 1) : 1.0f;
    for (int y = 0; y < newHeight; ++y) {
        const float fy = yScale * static_cast<float>(y) / yDiv;
        const int y0 = std::min(static_cast<int>(fy), m_nHeight - 1);
        const int y1 = std::min(y0 + 1, m_nHeight - 1);
        const float ty = y1 - y0 > 1e-8f ? (fy - static_cast<float>(y0)) / static_cast<float>(y1 - y0) : 0.0f;
        for (int x = 0; x < newWidth; ++x) {
            const float fx = xScale * static_cast<float>(x) / xDiv;
            const int x0 = std::min(static_cast<int>(fx), m_nWidth - 1);
            const int x1 = std::min(x0 + 1, m_nWidth - 1);
            const float tx = x1 - x0 > 1e-8f ? (fx - static_cast<float>(x0)) / static_cast<float>(x1 - x0) : 0.0f;
            const auto sample = [&](int r, int c) {
                return LoadFloat(m_eType, static_cast<const unsigned char*>(GetOffset(r, c)));
            };
            const double v = BilinearLerp(sample(y0, x0), sample(y0, x1), sample(y1, x0), sample(y1, x1), tx, ty);
            StoreValue(m_eType, static_cast<unsigned char*>(result.GetOffset(y, x)), v);
        }
    }
    return result;
}

bool CHeightFieldMat::ToSubPyramidRegion(int i, int j) {
    if (m_nWidth <= 0 || m_nHeight <= 0 || m_pData == nullptr || i < 0 || i > 1 || j < 0 || j > 1) return false;
    const int quarterW = std::max(1, m_nWidth / 2);
    const int quarterH = std::max(1, m_nHeight / 2);
    const int col0 = std::min((m_nWidth / 2) * i, m_nWidth - quarterW);
    const int row0 = std::min((m_nHeight / 2) * j, m_nHeight - quarterH);
    const CHeightFieldMat child = SubRegion(row0, col0, row0 + quarterH, col0 + quarterW).ScaleTo(m_nHeight, m_nWidth);
    if (child.IsNull()) return false;
    std::memcpy(m_pData, child.m_pData, static_cast<size_t>(std::min(child.m_nBufferSize, m_nBufferSize)));
    return true;
}

bool CHeightFieldMat::Cull(int n) {
    if (n < 0 || n > m_nWidth || n > m_nHeight) return false;
    if (n == 0) return true;
    const int bytes = GetDataTypeByte();
    const int newWidth = m_nWidth - n;
    const int newHeight = m_nHeight - n;
    if (m_pData != nullptr && bytes > 0 && newWidth > 0) {
        const size_t oldStride = static_cast<size_t>(m_nWidth) * bytes;
        const size_t newStride = static_cast<size_t>(newWidth) * bytes;
        // Row r moves from r * oldStride to r * newStride, never forward, so rows are moved in order.
        for (int r = 1; r < newHeight; ++r) std::memmove(m_pData + r * newStride, m_pData + r * oldStride, newStride);
    }
    m_nWidth = newWidth;
    m_nHeight = newHeight;
    return true;
}

void CHeightFieldMat::AddOffset(double d) {
    if (m_pData == nullptr) return;
    const int bytes = GetDataTypeByte();
    const long long count = std::min<long long>(CalculateBufferSize(), m_nBufferSize) / std::max(bytes, 1);
    int64_t offset = 0;
    const bool integral = Truncate(d, offset);
    for (long long k = 0; k < count; ++k) {
        unsigned char* p = m_pData + k * bytes;
        switch (m_eType) {
        case HFDT_INT16: if (integral) Put<int16_t>(p, Wrap16(Load<int16_t>(p) + offset)); break;
        case HFDT_INT32: if (integral) Put<int32_t>(p, Wrap32(Load<int32_t>(p) + offset)); break;
        case HFDT_FLOAT32: Put<float>(p, Load<float>(p) + ToFloat(d)); break;
        case HFDT_FLOAT64: Put<double>(p, Load<double>(p) + d); break;
        }
    }
}

void CHeightFieldMat::SetValueROI(int col0, int row0, int col1, int row1, double v) {
    if (m_pData == nullptr || !IsKnownType(m_eType)) return;
    col0 = std::max(col0, 0);
    row0 = std::max(row0, 0);
    col1 = std::min(col1, m_nWidth);
    row1 = std::min(row1, m_nHeight);
    if (col0 >= col1 || row0 >= row1) return;
    unsigned char value[8];
    StoreValue(m_eType, value, v);
    const int bytes = GetDataTypeByte();
    for (int r = row0; r < row1; ++r) {
        for (int c = col0; c < col1; ++c) std::memcpy(GetOffset(r, c), value, static_cast<size_t>(bytes));
    }
}

std::string CHeightFieldMat::ToString() const {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.width(8);
    out.fill('0');
    out << m_nWidth;
    out << ' ' << m_nHeight << "\r\n";
    if (m_pData == nullptr || !IsKnownType(m_eType)) return out.str();
    for (int r = 0; r < m_nHeight; ++r) {
        for (int c = 0; c < m_nWidth; ++c) {
            const unsigned char* p = static_cast<const unsigned char*>(GetOffset(r, c));
            if (p == nullptr) break;
            // 16-bit elements are written as unsigned: existing text files read them back that way.
            const float v = m_eType == HFDT_INT16 ? static_cast<float>(Load<uint16_t>(p)) : LoadFloat(m_eType, p);
            out << v << ' ';
        }
        out << "\r\n";
    }
    return out.str();
}

bool CHeightFieldMat::SaveToTextFile(const std::string& path) const {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file.is_open()) return false;
    file << ToString();
    return true;
}

CCache CHeightFieldMat::ToCache(const CHeightFieldMat& mat) {
    const int dataBytes = mat.m_pData != nullptr ? std::min(mat.CalculateBufferSize(), mat.m_nBufferSize) : 0;
    if (dataBytes > INT_MAX - kHeaderBytes) return CCache();
    // The header goes through a big-endian stream; the elements are copied as they lie in memory.
    CBinaryMemoryStream header(0, 1);
    const unsigned char reserved[11] = {};
    header.GetSerializer().WriteUInt32(static_cast<uint32_t>(mat.m_nWidth));
    header.GetSerializer().WriteUInt32(static_cast<uint32_t>(mat.m_nHeight));
    header.GetSerializer().WriteUInt8(static_cast<uint8_t>(mat.m_eType));
    header.WriteBytes(reserved, sizeof reserved);
    if (header.GetLength() != kHeaderBytes) return CCache();
    const int total = kHeaderBytes + dataBytes;
    unsigned char* blob = new (std::nothrow) unsigned char[static_cast<size_t>(total)];
    if (blob == nullptr) return CCache();
    std::memcpy(blob, header.GetBuffer(), kHeaderBytes);
    if (dataBytes > 0) std::memcpy(blob + kHeaderBytes, mat.m_pData, static_cast<size_t>(dataBytes));
    CCache cache;
    cache.Attach(blob, total);
    cache.SetOwner(true);
    return cache;
}

CHeightFieldMat CHeightFieldMat::FromCache(const CCache& cache) {
    const unsigned char* bytes = cache.GetData();
    const int length = bytes != nullptr ? std::max(cache.GetLength(), 0) : 0;
    // Only the header is attached to the stream, so its reads stop at the 20th byte.
    CBinaryMemoryStream stream(0, 1);
    CBitStream& in = stream.GetSerializer();
    if (length < 1) {
        VtLogWarn() << VtGB("[CHeightFieldMat::FromCache] 读取数据宽失败");
        return CHeightFieldMat();
    }
    stream.Attach(const_cast<unsigned char*>(bytes), std::min(length, kHeaderBytes));
    uint32_t width = 0, height = 0;
    uint8_t type = 0;
    unsigned char reserved[11];
    if (!in.ReadUInt32(width)) {
        VtLogWarn() << VtGB("[CHeightFieldMat::FromCache] 读取数据宽失败");
        return CHeightFieldMat();
    }
    if (!in.ReadUInt32(height)) {
        VtLogError() << VtGB("[CHeightFieldMat::FromCache] 读取数据高失败");
        return CHeightFieldMat();
    }
    if (!in.ReadUInt8(type)) {
        VtLogWarn() << VtGB("[CHeightFieldMat::FromCache] 读取数据类型失败");
        return CHeightFieldMat();
    }
    if (!stream.ReadBytes(reserved, sizeof reserved)) {
        VtLogWarn() << VtGB("[CHeightFieldMat::FromCache] 数据偏移失败");
        return CHeightFieldMat();
    }
    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    const Type t = static_cast<Type>(type);
    const long long size = CheckedSize(w, h, BytesOf(t));
    if (size == 0) return CHeightFieldMat(w, h, t);
    // Checked before allocating: a header may announce any size whatever the blob holds.
    if (size < 0 || size > static_cast<long long>(length) - kHeaderBytes) {
        VtLogError() << VtGB("[CHeightFieldMat::FromCache] hf写入Cache数据失败");
        return CHeightFieldMat();
    }
    CHeightFieldMat mat;
    if (!mat.Create(w, h, t)) {
        VtLogError() << VtGB("[CHeightFieldMat::FromCache] hf写入Cache数据失败");
        return CHeightFieldMat();
    }
    std::memcpy(mat.m_pData, bytes + kHeaderBytes, static_cast<size_t>(size));
    return mat;
}
