// Degree and colour text is typed or pasted by users: the readers must never crash, degrees read
// back must be finite or the plain conversion's own answer, and a colour written out must read back
// as the same colour.
#include "core/Tools.h"

#include <QColor>
#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(const QString& text) {
    const double deg = Tools::dMSToDegree(text);
    if (std::isnan(deg) && !text.contains(QChar(0x00B0))) {
        // Without a degree mark the text is a plain number: NaN only when it says so.
        QString plain = text;
        plain.remove(QLatin1Char(' '));
        if (!std::isnan(plain.toDouble())) std::abort();
    }
    for (const QColor& c : {Tools::toColor(text), Tools::fromColorF(text)}) {
        if (!c.isValid()) continue;
        if (Tools::toColor(Tools::toRgbaString(c)).rgba() != c.rgba()) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    const char* bytes = reinterpret_cast<const char*>(data);
    check(QString::fromUtf8(bytes, static_cast<int>(size)));
    return 0;
}

extern "C" const char* const* VtFuzzSeeds() {
    static const char* const seeds[] = {
        "116\xC2\xB0" "30'15\"E",
        "39\xC2\xB0" "54'27\"S",
        "-0.5",
        "12\xC2\xB0" "'\"W",
        "rgb(12, 34, 56)",
        "rgba(255,255,255,0)",
        "rgba(1, 2, 3, 0.5)",
        "rgb(300, -1, 2)",
        "rgba(1,2)",
        nullptr,
    };
    return seeds;
}
