#pragma once

#include "core/VtCoreExport.h"
#include "storage/BinaryMessageObject.h"

#include <vector>

// The 100-byte header at the start of a depository data file (little-endian through a stream
// with byte order 1 and bit order 1):
//   0 file code (4) | 4 version (4) | 8 map type (4) | 12 level count N (1) | 13 levels (N)
//   | 13+N google offset (1) | 14+N spare length 40-N (1) | 15+N spare (40-N) | 55 batch version (2)
//   | 57 tile model, 58 shifting, 59 content, 60 format (1 each) | 61 theme type (4) | 65 epsg (2)
//   | 67 mix type (1) | 68 min x, 76 min y, 84 max x, 92 max y (8 each)
// At most 40 levels fit; levels and spare together always take 40 bytes.
class VTCORE_EXPORT CICD_IDX_FILE_HEADER : public CBinaryMessageObject {
public:
    static constexpr int kFileCode = 19811025;  // 0x012E4AD1
    static constexpr int kCurrentVersion = 204;
    static constexpr int kSize = 100;
    static constexpr int kLevelArea = 40;       // bytes shared by the levels and the spare area
    static constexpr int kSpareCapacity = 255;

    CICD_IDX_FILE_HEADER();

    int GetSize() const override { return kSize; }
    // File code 19811025 and a version from 201 to 204.
    bool IsValid() const override;
    std::string GetName() const override { return "CICD_IDX_FILE_HEADER"; }
    void Reset() override;

    // Exact for the integers and bytes, within 1e-10 for the four doubles.
    bool operator==(const CICD_IDX_FILE_HEADER& other) const;
    bool operator!=(const CICD_IDX_FILE_HEADER& other) const { return !(*this == other); }

    int m_nFileCode;
    int m_nVersion;
    int m_nMapType;
    std::vector<int> m_vecLevels;   // one-based levels, stored one byte each
    bool m_bIsGoogleOffset;
    int m_nSpareLength;             // 40 - number of levels (recomputed on every pass)
    unsigned char m_ucSpare[kSpareCapacity];
    unsigned short m_nBatchVersion;
    int m_nTileModel;               // low 8 bits stored
    int m_nShiftingType;            // low 8 bits stored
    int m_nContentType;             // low 8 bits stored
    int m_nFormatType;              // low 8 bits stored
    int m_nThemeType;               // the task's MapItemType
    int m_nEpsg;                    // low 16 bits stored
    int m_nMixType;                 // the task's DownImgeType, low 8 bits stored
    double m_dMinX;
    double m_dMinY;
    double m_dMaxX;
    double m_dMaxY;

protected:
    bool OnPreSerialize(CBinarySerializer* s) override;
    bool DoSerialize(CBinarySerializer* s) override;
};
