#pragma once

#include "core/VtCoreExport.h"

#include <QRectF>

// One sheet of the national topographic series, as CMapSheetModel computes and parses it.
// Name: [N|S] row letter, two-digit column, then for scales above 1:1,000,000 the scale letter and
// the row and column inside the 1:1,000,000 sheet (three digits each, four for J and K):
// J50, NJ50B001001, SF23J00010001.
class VTCORE_EXPORT CMapSheet {
public:
    // Back to the default: invalid, north, no letters, zero numbers, empty rect.
    void Clear() { *this = CMapSheet(); }

    bool operator==(const CMapSheet& o) const {
        return m_bValid == o.m_bValid && m_bNorth == o.m_bNorth && m_cRowLetter == o.m_cRowLetter &&
               m_nColumn == o.m_nColumn && m_cScaleLetter == o.m_cScaleLetter && m_nRow == o.m_nRow &&
               m_nColumnInSheet == o.m_nColumnInSheet && m_rect == o.m_rect;
    }
    bool operator!=(const CMapSheet& o) const { return !(*this == o); }

    bool m_bValid = false;
    bool m_bNorth = true;       // northern hemisphere
    char m_cRowLetter = 0;      // 'A' + 4-degree band counted from the equator ('A'..'V')
    int m_nColumn = 0;          // 6-degree zone, 1..60 (zone 1 starts at -180)
    char m_cScaleLetter = 0;    // 'A' (1:1,000,000) .. 'K' (1:500)
    int m_nRow = 0;             // 1-based inside the 1:1,000,000 sheet, from the edge farther from the equator; 0 at 1:1,000,000
    int m_nColumnInSheet = 0;   // 1-based inside the 1:1,000,000 sheet, from its west edge; 0 at 1:1,000,000
    QRectF m_rect;              // degrees: x west edge, y south edge, width and height the sheet size
};
