#include "core/Tools.h"
#include "storage/MapSheetTable_p.h"

QPointF Tools::getMapSheetDistance(ENUM_MAPSHEET scale) {
    const MapSheetScaleRow* row = scale >= MAPSHEET_500K ? FindMapSheetScale(scale) : nullptr;
    if (row == nullptr) return QPointF(6.0, 4.0);
    return QPointF(static_cast<double>(row->dlon) / kMapSheetMsPerDegree,
                   static_cast<double>(row->dlat) / kMapSheetMsPerDegree);
}

int Tools::GetMinShowTextLevel(ENUM_MAPSHEET scale) {
    const MapSheetScaleRow* row = FindMapSheetScale(scale);
    return row != nullptr ? row->minShowLevel : 16;
}
