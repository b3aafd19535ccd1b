#pragma once

#include "core/VtCoreExport.h"

#include <QByteArray>
#include <QString>

#include <string>

// Conversions between Qt strings and 8-bit text in a named Qt codec ("GB18030", "UTF-8", ...).
// Strict: a codec name Qt does not know, or any byte sequence or character the codec cannot
// convert (invalid, truncated, unpaired surrogate, unmappable), gives an empty result, never a
// partial one. A byte-order mark at the start of decoded text is dropped. Thread-safe.

VTCORE_EXPORT QString ConvertStdStringToQString(const std::string& text, const char* codec);
// A null text gives the empty string.
VTCORE_EXPORT QString ConvertCharArrayToQString(const char* text, const char* codec);
VTCORE_EXPORT QString ConvertQByteArrayToQString(const QByteArray& text, const char* codec);
// Encodes without a byte-order mark.
VTCORE_EXPORT QByteArray ConvertQStringToQByteArray(const QString& text, const char* codec);
VTCORE_EXPORT std::string ConvertQStringToStdString(const QString& text, const char* codec);

// The name of the first codec that decodes the bytes without an invalid character: "UTF-8",
// "GB18030", "GBK", "GB2312", then every other codec Qt offers in Qt's order, each name once.
// Empty when none does.
VTCORE_EXPORT QByteArray GuessStdStringTextCodecName(const std::string& text);
VTCORE_EXPORT QByteArray GuessCharArrayTextCodecName(const char* text);
VTCORE_EXPORT QByteArray GuessQByteArrayTextCodecName(const QByteArray& text);

// A new, unique text on every call (the encoder library's UUID): 36 characters, upper-case hex
// digits in the 8-4-4-4-12 form.
VTCORE_EXPORT std::string VtCreateUUID();
