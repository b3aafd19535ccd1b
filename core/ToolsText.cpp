// Tools: numbers, colours and coordinate text.
#include "core/Tools.h"

#include "core/CoordinateScanner_p.h"

#include <QStringList>

#include <cmath>

bool Tools::isDouble(const QString& s, double* value) {
    bool ok = false;
    const double v = s.toDouble(&ok);
    if (value != nullptr) *value = v;
    return ok;
}

QString Tools::doubleToString(double v, int decimals) { return QString::number(v, 'f', decimals); }

namespace {

const QColor kOpaqueRed(255, 0, 0, 255);

}  // namespace

QColor Tools::toColor(QString s) {
    QStringList parts = s.split(QLatin1Char(','));
    if (parts.size() == 3) {
        parts[0].remove(QStringLiteral("rgb("));
        parts[2].remove(QLatin1Char(')'));
        return QColor(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), 255);
    }
    if (parts.size() == 4) {
        parts[0].remove(QStringLiteral("rgba("));
        parts[3].remove(QLatin1Char(')'));
        return QColor(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
    }
    return kOpaqueRed;
}

QColor Tools::fromColorF(QString s) {
    QStringList parts = s.split(QLatin1Char(','));
    if (parts.size() != 4) return kOpaqueRed;
    parts[0].remove(QStringLiteral("rgba("));
    parts[3].remove(QLatin1Char(')'));
    int alpha = parts[3].toInt();
    if (alpha <= 1) {
        // 0..1 is a fraction of full opacity; the text "1" means opaque, not 1 of 255.
        const double fraction = parts[3].toDouble();
        alpha = std::isfinite(fraction) && std::fabs(fraction) < 1e6 ? static_cast<int>(fraction * 255) : -1;
    }
    return QColor(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), alpha);
}

QString Tools::toRgbaString(QColor c) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(static_cast<double>(c.alpha()));
}

QString Tools::toRgbaStringF(QColor c) {
    return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha() / 255.0);
}

namespace {

bool isPatternSpace(QChar ch) {
    const ushort c = ch.unicode();
    return c == ' ' || (c >= 9 && c <= 13);
}

// The characters pasted coordinate text may hold: digits, white space, ",", ".", "+", "-", "E", "e".
// (Written as the class "[\d,.\s\t\n+-Ee]" a regex would read "+-E" as the range '+'..'E' and let
// ":;<=>?@ABCD/" through; letters other than E and e are meant to reject the text.)
bool isCoordinateText(const QString& text) {
    for (QChar ch : text) {
        const ushort c = ch.unicode();
        const bool ok = (c >= '0' && c <= '9') || isPatternSpace(ch) || c == ',' || c == '.' || c == '+' ||
                        c == '-' || c == 'E' || c == 'e';
        if (!ok) return false;
    }
    return true;
}

// A part that does not read as a finite number counts as 0 (Qt's failure value; an overflowing
// exponent would otherwise give an infinity).
double readNumber(const QString& part) {
    QString compact;
    compact.reserve(part.size());
    for (QChar ch : part) {
        if (!isPatternSpace(ch)) compact.append(ch);
    }
    bool ok = false;
    const double v = compact.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0.0;
}

double wrapLongitude(double x) {
    // Step by step while that is exact enough to matter; fmod first for values so large that
    // subtracting 360 would not change them.
    if (std::fabs(x) > 1e6) x = std::fmod(x, 360.0);
    while (x > 180.0) x -= 360.0;
    while (x < -180.0) x += 360.0;
    return x;
}

}  // namespace

std::vector<CVector3D> Tools::ParseCoordinates(const QString& text) {
    std::vector<CVector3D> points;
    if (!isCoordinateText(text)) return points;
    const QString padded = text + QLatin1Char(' ');
    for (const std::pair<int, int>& m : VtScanCoordinateMatches(padded)) {
        const QStringList parts = padded.mid(m.first, m.second - m.first).split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (parts.size() < 2) continue;
        const double x = wrapLongitude(readNumber(parts[0]));
        const double y = qBound(-90.0, readNumber(parts[1]), 90.0);
        const double z = parts.size() > 2 ? readNumber(parts[2]) : 0.0;
        points.emplace_back(x, y, z);
    }
    return points;
}
