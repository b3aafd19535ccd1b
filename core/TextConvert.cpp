#include "core/TextConvert.h"

#include "core/encoder/XEncoder.h"

#include <QList>
#include <QSet>
#include <QTextCodec>

#include <limits>

namespace {

QTextCodec* codecNamed(const char* name) {
    if (name == nullptr || *name == '\0') return nullptr;
    return QTextCodec::codecForName(name);
}

bool hasUnpairedSurrogate(const QString& text) {
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 >= n || !text.at(i + 1).isLowSurrogate()) return true;
            ++i;
        } else if (c.isLowSurrogate()) {
            return true;
        }
    }
    return false;
}

// Qt's ICU-backed codecs neither count invalid input nor report a truncated tail (they replace
// or silently drop it), and its UTF-16/32 codecs pass unpaired surrogates. So every conversion
// is checked by converting the result back: valid text survives the round trip unchanged.
bool encodeStrict(QTextCodec* codec, const QString& text, QByteArray* out) {
    if (hasUnpairedSurrogate(text)) return false;
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QByteArray bytes = codec->fromUnicode(text.constData(), text.size(), &state);
    if (state.invalidChars != 0 || state.remainingChars != 0) return false;
    QTextCodec::ConverterState back;
    const QString decoded = codec->toUnicode(bytes.constData(), bytes.size(), &back);
    if (back.invalidChars != 0 || back.remainingChars != 0) return false;
    // Decoding drops a leading byte-order mark, so text that starts with U+FEFF comes back without it.
    const bool same = decoded == text || (text.startsWith(QChar(0xFEFF)) && decoded == text.mid(1));
    if (!same) return false;
    *out = bytes;
    return true;
}

bool decodeStrict(QTextCodec* codec, const char* data, int size, QString* out) {
    QTextCodec::ConverterState state;
    const QString text = codec->toUnicode(data, size, &state);
    if (state.invalidChars != 0 || state.remainingChars != 0 || hasUnpairedSurrogate(text)) return false;
    QTextCodec::ConverterState back(QTextCodec::IgnoreHeader);
    const QByteArray bytes = codec->fromUnicode(text.constData(), text.size(), &back);
    if (back.invalidChars != 0 || back.remainingChars != 0) return false;
    const QByteArray input = QByteArray::fromRawData(data, size);
    if (bytes != input) {
        // The only accepted difference: a byte-order mark that decoding removed.
        QTextCodec::ConverterState bomState(QTextCodec::IgnoreHeader);
        const QChar bomChar(0xFEFF);
        const QByteArray bom = codec->fromUnicode(&bomChar, 1, &bomState);
        if (bom.isEmpty() || !input.startsWith(bom) || input.mid(bom.size()) != bytes) return false;
    }
    *out = text;
    return true;
}

QString decode(const char* data, size_t size, const char* codecName) {
    QTextCodec* codec = codecNamed(codecName);
    if (codec == nullptr || size > static_cast<size_t>(std::numeric_limits<int>::max())) return QString();
    QString text;
    if (!decodeStrict(codec, data, static_cast<int>(size), &text)) return QString();
    return text;
}

QByteArray guess(const char* data, size_t size) {
    if (size > static_cast<size_t>(std::numeric_limits<int>::max())) return QByteArray();
    QList<QByteArray> names = {"UTF-8", "GB18030", "GBK", "GB2312"};
    names += QTextCodec::availableCodecs();
    QSet<QByteArray> triedNames;
    QSet<QTextCodec*> failedCodecs;  // many names are aliases of one codec: decode once per codec
    for (const QByteArray& name : names) {
        if (triedNames.contains(name)) continue;
        triedNames.insert(name);
        QTextCodec* codec = QTextCodec::codecForName(name);
        if (codec == nullptr || failedCodecs.contains(codec)) continue;
        QString ignored;
        if (decodeStrict(codec, data, static_cast<int>(size), &ignored)) return name;
        failedCodecs.insert(codec);
    }
    return QByteArray();
}

}  // namespace

QString ConvertStdStringToQString(const std::string& text, const char* codec) {
    return decode(text.data(), text.size(), codec);
}

QString ConvertCharArrayToQString(const char* text, const char* codec) {
    if (text == nullptr) return QString();
    return decode(text, std::char_traits<char>::length(text), codec);
}

QString ConvertQByteArrayToQString(const QByteArray& text, const char* codec) {
    return decode(text.constData(), static_cast<size_t>(text.size()), codec);
}

QByteArray ConvertQStringToQByteArray(const QString& text, const char* codec) {
    QTextCodec* c = codecNamed(codec);
    QByteArray bytes;
    if (c == nullptr || !encodeStrict(c, text, &bytes)) return QByteArray();
    return bytes;
}

std::string ConvertQStringToStdString(const QString& text, const char* codec) {
    const QByteArray bytes = ConvertQStringToQByteArray(text, codec);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QByteArray GuessStdStringTextCodecName(const std::string& text) { return guess(text.data(), text.size()); }

QByteArray GuessCharArrayTextCodecName(const char* text) {
    if (text == nullptr) return guess("", 0);
    return guess(text, std::char_traits<char>::length(text));
}

QByteArray GuessQByteArrayTextCodecName(const QByteArray& text) {
    return guess(text.constData(), static_cast<size_t>(text.size()));
}

std::string VtCreateUUID() { return XEncoder::generateUUID(); }
