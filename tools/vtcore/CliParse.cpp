#include "tools/vtcore/CliParse.h"

#include <QStringList>

#include <cmath>
#include <set>

namespace VtCli {

bool ParseInt(const QString& text, int lo, int hi, int& value, QString& error) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok || v < lo || v > hi) {
        error = QStringLiteral("'%1' is not a whole number from %2 to %3").arg(text).arg(lo).arg(hi);
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

bool ParseDouble(const QString& text, double lo, double hi, double& value, QString& error) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < lo || v > hi) {
        error = QStringLiteral("'%1' is not a number from %2 to %3").arg(text).arg(lo).arg(hi);
        return false;
    }
    value = v;
    return true;
}

bool ParseLevels(const QString& text, int minLevel, int maxLevel, QList<int>& levels, QString& error) {
    std::set<int> chosen;
    const QStringList parts = text.split(QLatin1Char(','));
    for (const QString& raw : parts) {
        const QString part = raw.trimmed();
        if (part.isEmpty()) {
            error = QStringLiteral("empty level in '%1'").arg(text);
            return false;
        }
        // A leading '-' would be a negative number, not a range: ranges need a first level.
        const int dash = part.indexOf(QLatin1Char('-'), 1);
        int first = 0;
        int last = 0;
        if (dash < 0) {
            if (!ParseInt(part, minLevel, maxLevel, first, error)) return false;
            last = first;
        } else {
            if (!ParseInt(part.left(dash), minLevel, maxLevel, first, error) ||
                !ParseInt(part.mid(dash + 1), minLevel, maxLevel, last, error))
                return false;
            if (last < first) {
                error = QStringLiteral("level range '%1' runs backwards").arg(part);
                return false;
            }
        }
        for (int l = first; l <= last; ++l) chosen.insert(l);
    }
    levels.clear();
    for (int l : chosen) levels.append(l);
    return true;
}

bool ParseExtent(const QString& text, EXTENT& extent, QString& error) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) {
        error = QStringLiteral("an extent is 'west,south,east,north', not '%1'").arg(text);
        return false;
    }
    double v[4] = {0, 0, 0, 0};
    const double lo[4] = {-180, -90, -180, -90};
    const double hi[4] = {180, 90, 180, 90};
    for (int i = 0; i < 4; ++i)
        if (!ParseDouble(parts[i], lo[i], hi[i], v[i], error)) return false;
    if (v[0] > v[2] || v[1] > v[3]) {
        error = QStringLiteral("extent '%1' has west > east or south > north").arg(text);
        return false;
    }
    extent = EXTENT{v[0], v[1], v[2], v[3]};
    return true;
}

bool ParseDatum(const QString& text, Datum& datum, QString& error) {
    QString t = text.trimmed().toLower();
    t.remove(QLatin1Char('-'));
    if (t == QLatin1String("wgs84")) datum = Datum::Wgs84;
    else if (t == QLatin1String("gcj02")) datum = Datum::Gcj02;
    else if (t == QLatin1String("bd09")) datum = Datum::Bd09;
    else {
        error = QStringLiteral("unknown datum '%1' (wgs84, gcj02 or bd09)").arg(text);
        return false;
    }
    return true;
}

const char* DatumName(Datum datum) {
    switch (datum) {
    case Datum::Wgs84: return "wgs84";
    case Datum::Gcj02: return "gcj02";
    case Datum::Bd09: return "bd09";
    }
    return "wgs84";
}

bool ParseHeader(const QString& text, QByteArray& name, QByteArray& value, QString& error) {
    const int colon = text.indexOf(QLatin1Char(':'));
    const QByteArray n = text.left(colon).trimmed().toLatin1();
    static const QByteArray kTokenExtra("!#$%&'*+-.^_`|~");
    bool tokenOk = colon > 0 && !n.isEmpty();
    for (char c : n) {
        const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum && !kTokenExtra.contains(c)) tokenOk = false;
    }
    const QString v = colon > 0 ? text.mid(colon + 1).trimmed() : QString();
    if (!tokenOk || v.contains(QLatin1Char('\r')) || v.contains(QLatin1Char('\n'))) {
        error = QStringLiteral("a header is 'Name: value', not '%1'").arg(text);
        return false;
    }
    name = n;
    value = v.toUtf8();
    return true;
}

QString FormatLevels(const QList<int>& levels) {
    QStringList parts;
    int i = 0;
    while (i < levels.size()) {
        int j = i;
        while (j + 1 < levels.size() && levels[j + 1] == levels[j] + 1) ++j;
        parts << (j > i ? QStringLiteral("%1-%2").arg(levels[i]).arg(levels[j]) : QString::number(levels[i]));
        i = j + 1;
    }
    return parts.join(QLatin1Char(','));
}

}  // namespace VtCli
