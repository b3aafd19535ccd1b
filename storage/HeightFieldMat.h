#pragma once

#include "core/VtCoreExport.h"
#include "storage/Cache.h"

#include <string>

// A dense grid of elevation samples (one DEM tile): width x height elements of one type in a single
// row-major buffer, row 0 first, each row column 0 first. The element at (row r, column c) lies at
// byte (r * width + c) * GetDataTypeByte(). Elements are held little-endian, as in memory.
//
// No-data value: -32768 in every element type (int16 -32768, int32 -32768, float -32768.0f,
// double -32768.0). Allocate() writes it into every element and GetNodata() points at it; ScaleTo
// fills its result with it before resampling.
//
// Sizes are ints; a grid whose buffer would exceed INT_MAX bytes cannot be allocated.
class VTCORE_EXPORT CHeightFieldMat {
public:
    enum E_HEIGHT_FIELD_DATA_TYPE : int {  // fixed width: blobs may carry any value
        HFDT_INT16 = 0,    // signed 16-bit integer, 2 bytes
        HFDT_INT32 = 1,    // signed 32-bit integer, 4 bytes
        HFDT_FLOAT32 = 2,  // 32-bit float, 4 bytes
        HFDT_FLOAT64 = 3,  // 64-bit float, 8 bytes
    };

    CHeightFieldMat();  // 0 x 0, HFDT_FLOAT32, no data
    // Stores the three values; allocates nothing (call Create() or Allocate()).
    CHeightFieldMat(int width, int height, E_HEIGHT_FIELD_DATA_TYPE type);
    CHeightFieldMat(const CHeightFieldMat& other);  // deep copy of the buffer
    CHeightFieldMat& operator=(const CHeightFieldMat& other);
    virtual ~CHeightFieldMat();

    // Destroy, store the size and type, Allocate. False when the size is empty, negative or too big,
    // or the type is not one of the four.
    virtual bool Create(int width, int height, E_HEIGHT_FIELD_DATA_TYPE type);
    // Re-creates with the current width, height and type.
    virtual bool Create();
    // Frees the buffer; buffer size 0. Width, height and type stay.
    virtual void Destroy();

    // Allocates height * width elements filled with the no-data value, replacing any buffer.
    // False (and no buffer) when that size is below 1 byte, overflows an int, or memory runs out.
    bool Allocate();

    // height * width * bytes per element; 0 when negative or beyond INT_MAX.
    int CalculateBufferSize() const;
    int GetDataSize() const { return CalculateBufferSize(); }
    int GetBufferSize() const { return m_nBufferSize; }  // bytes allocated

    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    E_HEIGHT_FIELD_DATA_TYPE GetFieldDataType() const { return m_eType; }
    int GetDataTypeByte() const;  // 2, 4, 4, 8; 0 for a value outside the enumeration
    int GetBytePerLine() const { return m_nWidth * GetDataTypeByte(); }

    bool IsNull() const { return m_pData == nullptr; }

    void* GetDataPtr() const { return m_pData; }
    // Replaces the data pointer only. The matrix then owns p: it must come from new unsigned char[]
    // and hold CalculateBufferSize() bytes, and Destroy or the destructor frees it. The previous
    // buffer is not freed; whoever took it with GetDataPtr frees it with delete[]. Null empties
    // the matrix (and likewise leaves the old buffer to the caller).
    void SetDataPtr(void* p);
    // Pointers into the buffer; null without data or for a row/column outside the grid.
    void* GetRowPtr(int row) const;
    void* GetOffset(int row, int col) const;
    // Pointer to the no-data value of this matrix's type; null for a type outside the enumeration.
    void* GetNodata() const;

    // The element as double (16-bit values sign-extended). The no-data value for a position outside
    // the grid or a matrix without data; 0 for a type outside the enumeration.
    double At(int row, int col) const;

    // Copies min(n, buffer size) bytes to dst. False for a null dst.
    bool CopyTo(void* dst, int n) const;

    // Rows [row0, row1) and columns [col0, col1) as a new matrix of the same type.
    // row1 < row0 or col1 < col0 logs a warning and gives an empty matrix (0 x 0, HFDT_FLOAT32);
    // so does a region reaching outside the grid (or any non-empty region of a matrix without data).
    // An empty region in range gives a matrix of that size and this type without data, silently.
    CHeightFieldMat SubRegion(int row0, int col0, int row1, int col1);

    // Copies src into this matrix with its top-left element at (row, col). False when src does not
    // fit (negative position too), when the types differ, or when this matrix has no data. A src
    // without data logs a warning and returns true with nothing changed.
    bool FillRegion(int row, int col, const CHeightFieldMat& src);

    // Copies min(h, height - row) rows of min(width - col, w) elements from src at (srcRow, srcCol)
    // to this matrix at (row, col). True when no row is to be copied. False, with nothing copied,
    // when the element count is below 1, a position is negative, the source rows or columns reach
    // outside src, the types differ, or either matrix has no data.
    bool BlitRegion(int col, int row, const CHeightFieldMat& src, int srcCol, int srcRow, int w, int h);

    // Bilinear resampling to newWidth x newHeight (corner samples map onto corner samples), in
    // single precision; integer results are truncated toward zero and wrap to the type's width.
    // A target size of 1 samples the first row/column. A result with no rows or columns, or a source
    // without data, is returned as created (filled with no-data when it has elements).
    CHeightFieldMat ScaleTo(int newHeight, int newWidth);

    // Replaces this grid by the grid of its child tile (i, j): the quarter in column half i and
    // row half j (each 0 or 1) scaled back to the full size. The quarter starts at column
    // (width / 2) * i and row (height / 2) * j and is width / 2 by height / 2 (at least 1).
    // False, unchanged, for a non-positive size, no data, or i or j outside 0..1.
    bool ToSubPyramidRegion(int i, int j);

    // Removes the last n columns and rows in place (the buffer keeps its size). False when n is
    // negative or exceeds the width or the height.
    bool Cull(int n);

    bool Smooth(int) { return false; }  // not supported; changes nothing

    // Adds d to every element: integer types add d truncated toward zero and wrap around; float
    // adds d as float; double adds d. Non-finite d leaves integer grids unchanged.
    void AddOffset(double d);

    // Sets the elements of columns [col0, min(col1, width)) and rows [row0, min(row1, height)) to v
    // (integers truncated toward zero, keeping the low 16 or 32 bits). Negative starts count from 0.
    void SetValueROI(int col0, int row0, int col1, int row1, double v);

    // Text form: the width as eight digits with leading zeros, a space, the height, CR LF; then one
    // line per row, each element as single precision (16-bit elements read as unsigned) followed
    // by a space, the line ended by CR LF.
    std::string ToString() const;
    // Writes ToString() to path (created or truncated). True when the file could be opened.
    bool SaveToTextFile(const std::string& path) const;

    // Blob: width (4 bytes), height (4 bytes), type (1 byte), 11 zero bytes, all big-endian, then
    // the data size of element bytes. An empty cache when the blob would exceed INT_MAX bytes.
    static CCache ToCache(const CHeightFieldMat& mat);
    // Parses a blob. Any failure (too short, negative size, unknown type, fewer element bytes than
    // announced) logs and gives an empty matrix; nothing is allocated before the element bytes are
    // known to be present. A header announcing zero width or height gives that empty grid.
    static CHeightFieldMat FromCache(const CCache& cache);

private:
    int m_nWidth;
    int m_nHeight;
    E_HEIGHT_FIELD_DATA_TYPE m_eType;
    unsigned char* m_pData;  // owned, new[]
    int m_nBufferSize;       // bytes allocated
};

// (1 - ty)(1 - tx) topLeft + (1 - ty) tx topRight + (1 - tx) ty bottomLeft + tx ty bottomRight;
// tx is the horizontal and ty the vertical fraction, each 0..1.
VTCORE_EXPORT double BilinearLerp(double topLeft, double topRight, double bottomLeft, double bottomRight, double tx,
                                  double ty);
