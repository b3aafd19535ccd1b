#include "core/Tools.h"

#include "tile/BD09ToWGS84.h"
#include "tile/PositionUtil.h"

namespace {

template <typename Convert>
QList<QPointF> ConvertEach(const QList<QPointF>& pts, Convert convert) {
    QList<QPointF> out;
    out.reserve(pts.size());
    for (const QPointF& p : pts) out.append(convert(p));
    return out;
}

}  // namespace

QList<QPointF> Tools::shapeCorrect(QList<QPointF> pts, int mapType) {
    switch (getOffsetType(mapType, 0)) {
        case COORD_OFFSET_GCJ02:
            return ConvertEach(pts, [](const QPointF& p) {
                const Gps g = PositionUtil::gcj_To_Gps84(p.y(), p.x());
                return QPointF(g.lon, g.lat);
            });
        case COORD_OFFSET_BD09:
            return ConvertEach(pts, [](QPointF p) {
                CBD09ToWGS84().BD09ToWGS84(p);
                return p;
            });
        default: return pts;
    }
}

QList<QPointF> Tools::shapeShifting(QList<QPointF> pts, int mapType) {
    switch (getOffsetType(mapType, 0)) {
        case COORD_OFFSET_GCJ02:
            return ConvertEach(pts, [](const QPointF& p) {
                const Gps g = PositionUtil::gps84_To_Gcj02(p.y(), p.x());
                return QPointF(g.lon, g.lat);
            });
        case COORD_OFFSET_BD09:
            return ConvertEach(pts, [](QPointF p) {
                CBD09ToWGS84().WGS84ToBD09(p);
                return p;
            });
        default: return pts;
    }
}
