#include "CoreTest.h"

#include <QRegularExpression>

#include <set>

TEST(TextConvert, RoundTripsExactBytesWithoutByteOrderMarksWithZeroBytesAndNothingForUnencodableTextOrInvalidBytes) {
    const struct Row { const char* codec; QString text; std::string bytes; } rows[] = {
        {"GB18030", QString::fromUtf8("你好"), "\xC4\xE3\xBA\xC3"},
        {"UTF-8", QString::fromUtf8("a\0b", 3), std::string("a\0b", 3)},  // zero bytes are text
        {"GB18030", QString::fromUtf8("a\0b", 3), std::string("a\0b", 3)},
        {"UTF-16LE", QStringLiteral("a"), std::string("a\0", 2)},  // no byte-order mark
        {"UTF-32BE", QStringLiteral("ab"), std::string("\0\0\0a\0\0\0b", 8)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ConvertQStringToStdString(row.text, row.codec), row.bytes) << row.codec;
        EXPECT_EQ(ConvertStdStringToQString(row.bytes, row.codec), row.text) << row.codec;
    }
    EXPECT_EQ(ConvertCharArrayToQString("\xC4\xE3\xBA\xC3", "GB18030"), QString::fromUtf8("你好"));
    EXPECT_EQ(ConvertStdStringToQString("\xEF\xBB\xBF" "abc", "UTF-8"), QStringLiteral("abc"));  // a leading mark is dropped
    // Qt's UTF-32 encoder appends a stray zero for every surrogate pair; such output must not pass.
    const QByteArray pair = ConvertQStringToQByteArray(QString::fromUcs4(U"a\U0001F600"), "UTF-32BE");
    EXPECT_TRUE(pair.isEmpty() || pair == QByteArray("\0\0\0a\0\x01\xF6\0", 8)) << pair.toHex().constData();
    // ASCII, Latin-1, CJK and a four-byte emoji survive every Unicode codec both ways; unencodable
    // text gives nothing, never a part.
    const QString mixed = QString::fromUtf8("a~ é中文龥😀"), loneSurrogate = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b");
    for (const char* codec : {"GB18030", "UTF-8", "UTF-16LE"}) {
        const std::string bytes = ConvertQStringToStdString(mixed, codec);
        ASSERT_FALSE(bytes.empty()) << codec;
        EXPECT_EQ(ConvertStdStringToQString(bytes, codec), mixed) << codec;
        EXPECT_TRUE(ConvertQStringToStdString(loneSurrogate, codec).empty()) << codec;
    }
    EXPECT_TRUE(ConvertQStringToQByteArray(QChar(0xDC00), "GB18030").isEmpty());
    EXPECT_TRUE(ConvertQStringToStdString(QString::fromUtf8("中文"), "ISO-8859-1").empty());
    EXPECT_TRUE(ConvertQStringToStdString(QString::fromUtf8("你好😀"), "GB2312").empty());  // no emoji in GB2312
    EXPECT_TRUE(ConvertQStringToStdString(QStringLiteral("abc"), "NO-SUCH-CODEC").empty());
    // Unknown codecs and invalid bytes decode to nothing, never to a part.
    const struct Bad { const char* what; std::string bytes; const char* codec; } bad[] = {
        {"unknown codec", "abc", "NO-SUCH-CODEC"}, {"null codec name", "abc", nullptr}, {"empty codec name", "abc", ""},
        {"bad UTF-8 byte", "ab\xFF", "UTF-8"}, {"truncated UTF-8", "ab\xE4\xB8", "UTF-8"},
        {"truncated GB18030 four-byte", "\x81\x30\x81", "GB18030"}, {"lone 0x80 in GB18030", "a\x80", "GB18030"},
        {"truncated Shift_JIS", "\x81", "Shift_JIS"}, {"UTF-16 odd length", std::string("a\0b", 3), "UTF-16LE"},
        {"UTF-16 lone surrogate", std::string("\x00\xD8\x61\x00", 4), "UTF-16LE"},
        {"UTF-32 beyond Unicode", std::string("\x00\x00\x11\x00", 4), "UTF-32LE"},
    };
    for (const Bad& row : bad) {
        EXPECT_TRUE(ConvertStdStringToQString(row.bytes, row.codec).isEmpty()) << row.what;
        EXPECT_TRUE(ConvertQByteArrayToQString(QByteArray(row.bytes.data(), int(row.bytes.size())), row.codec).isEmpty())
            << row.what;
    }
    EXPECT_TRUE(ConvertCharArrayToQString(nullptr, "UTF-8").isEmpty());
}

TEST(TextConvert, GuessPrefersUtf8ThenGb18030UuidsAreWellFormedAndUnique) {
    EXPECT_EQ(GuessCharArrayTextCodecName("plain ascii"), QByteArray("UTF-8"));
    EXPECT_EQ(GuessStdStringTextCodecName("中文路径 测试"), QByteArray("UTF-8"));
    EXPECT_EQ(GuessQByteArrayTextCodecName(ConvertQStringToQByteArray(QString::fromUtf8("中文路径 测试"), "GB18030")), QByteArray("GB18030"));
    EXPECT_EQ(GuessCharArrayTextCodecName(nullptr), QByteArray("UTF-8"));
    // Not UTF-8 and not GB18030 (0xFF is no GB18030 lead byte): some later codec, whose decoding
    // must then really succeed.
    const std::string latin = "caf\xE9 \xFF";
    const QByteArray name = GuessStdStringTextCodecName(latin);
    ASSERT_FALSE(name.isEmpty());
    EXPECT_NE(name, QByteArray("UTF-8"));
    EXPECT_NE(name, QByteArray("GB18030"));
    EXPECT_FALSE(ConvertStdStringToQString(latin, name.constData()).isEmpty());

    static const QRegularExpression form(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"));
    std::set<std::string> seen;
    for (int i = 0; i < 4000; ++i) {
        const std::string id = VtCreateUUID();
        EXPECT_TRUE(form.match(QString::fromStdString(id)).hasMatch() && seen.insert(id).second) << id;
    }
}
