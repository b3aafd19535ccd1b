// Sheet names typed by users: parsing any text must not crash, and every name that parses must
// print back to itself and describe a sheet inside the series' limits.
#include "storage/MapSheetModel.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    static const CMapSheetModel model;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
    model.IsMapSheet(text);
    CMapSheet sheet;
    model.GetMapSheetFromString(sheet, text);
    if (!sheet.m_bValid) return 0;
    QString name;
    model.GetStringFromMapSheet(name, sheet, false);
    // The parsed text is the name with or without its hemisphere letter.
    if (name != text && name.mid(1) != text) std::abort();
    const QRectF r = sheet.m_rect;
    if (r.left() < -180 || r.right() > 180 + 1e-9 || r.top() < -88 - 1e-9 || r.bottom() > 88 + 1e-9) std::abort();
    const CMapSheet parent = model.GetParentMapSheet(sheet);
    if (parent.m_bValid && !parent.m_rect.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(r)) std::abort();
    const CMapSheet again = model.GetMapSheetFromPoint(MAPSHEET_1M, r.center());
    if (again.m_nColumn != sheet.m_nColumn || again.m_cRowLetter != sheet.m_cRowLetter || again.m_bNorth != sheet.m_bNorth) {
        std::abort();
    }
    return 0;
}

extern "C" const char* const* VtFuzzSeeds() {
    static const char* const seeds[] = {"J50", "NJ50B001001", "SF23C002004", "J50J00290461", "SI21K08070615",
                                        "A01K23042304", "NV60", "SJ50D012012", "nj50b001001", nullptr};
    return seeds;
}
