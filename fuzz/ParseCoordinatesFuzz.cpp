// Coordinate text comes from the clipboard: ParseCoordinates must never crash or hang, must return
// only wrapped, clamped, finite points, and its scanner must agree with the backtracking regex on
// inputs short enough for the regex to finish.
#include "core/CoordinateScanner_p.h"
#include "core/Tools.h"

#include <QRegularExpression>
#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

const QRegularExpression& referencePattern() {
    static const QRegularExpression re(VtCoordinatePatternText());
    return re;
}

void check(const QString& text) {
    for (const CVector3D& p : Tools::ParseCoordinates(text)) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) std::abort();
        if (p.x < -180.0 || p.x > 180.0 || p.y < -90.0 || p.y > 90.0) std::abort();
    }
    // Short enough that backtracking stays within PCRE's match limit.
    if (text.size() > 24) return;
    const QString padded = text + QLatin1Char(' ');
    std::vector<std::pair<int, int>> expected;
    QRegularExpressionMatchIterator it = referencePattern().globalMatch(padded);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        expected.emplace_back(m.capturedStart(), m.capturedEnd());
    }
    if (VtScanCoordinateMatches(padded) != expected) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 20) return 0;
    const char* bytes = reinterpret_cast<const char*>(data);
    check(QString::fromUtf8(bytes, static_cast<int>(size)));
    check(QString::fromLatin1(bytes, static_cast<int>(size)));
    return 0;
}

extern "C" const char* const* VtFuzzSeeds() {
    static const char* const seeds[] = {
        "116.391, 39.907",
        "116.391,39.907,50\n116.4,39.9,51\r\n",
        "1 e 5, - 4.5E-2, 3",
        "190, 100",
        "1 2 3 , 4",
        "1,2,3,4,5,6,7",
        "\t-0.5 ,\t+1 , 1e999\n",
        "5 e3x, 1",
        nullptr,
    };
    return seeds;
}
