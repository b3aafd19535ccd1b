// 8-bit text arrives from files, INI settings and the network in unknown encodings: conversions must
// never crash, and never return partial text: whatever decodes must encode back to the same bytes.
#include "core/TextConvert.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void roundTrip(const std::string& bytes, const char* codec) {
    const QString text = ConvertStdStringToQString(bytes, codec);
    if (text.isEmpty()) return;
    const std::string back = ConvertQStringToStdString(text, codec);
    // The only allowed difference: a byte-order mark that decoding dropped.
    if (back != bytes && (bytes.size() <= back.size() || bytes.compare(bytes.size() - back.size(), back.size(), back) != 0)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const char* codec : {"UTF-8", "GB18030", "GBK", "Big5", "Shift_JIS", "UTF-16LE", "UTF-32BE", "ISO-2022-JP"}) {
        roundTrip(bytes, codec);
    }
    // Guessing tries every codec Qt has: only for short inputs, to keep runs bounded.
    if (size <= 48) {
        const QByteArray name = GuessStdStringTextCodecName(bytes);
        if (!name.isEmpty()) roundTrip(bytes, name.constData());
    }
    // Encoding arbitrary UTF-16 (unpaired surrogates included) must never produce partial bytes.
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(data), static_cast<int>(size / 2));
    for (const char* codec : {"GB18030", "UTF-8", "GB2312"}) {
        const QByteArray encoded = ConvertQStringToQByteArray(text, codec);
        if (!encoded.isEmpty() && ConvertQByteArrayToQString(encoded, codec) != text) std::abort();
    }
    return 0;
}

extern "C" const char* const* VtFuzzSeeds() {
    static const char* const seeds[] = {
        "plain ascii",
        "\xC4\xE3\xBA\xC3\x81\x30\x81\x30",  // GB18030 two- and four-byte forms
        "\xE4\xBD\xA0\xE5\xA5\xBD",          // UTF-8
        "\xEF\xBB\xBF" "bom",
        "\x1B$B\x30\x21\x1B(B",              // ISO-2022-JP escape
        nullptr,
    };
    return seeds;
}
