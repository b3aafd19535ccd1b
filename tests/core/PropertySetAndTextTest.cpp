#include "core/PropertySetObject.h"
#include "core/TextConvert.h"
#include "core/VtVariantSetObject.h"
#include "core/log/VtLog.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QRegularExpression>

#include <atomic>
#include <limits>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

TEST(PropertySetObject, TypeTableBothWays) {
    const struct Row {
        const char* key;
        QVariant value;
        const char* json;  // the member as written
        QVariant readValue;  // as read back, with its type
    } rows[] = {
        {"b1", QVariant(true), "1", QVariant(1)},
        {"i", QVariant(-7), "-7", QVariant(-7)},
        {"u", QVariant(4000000000u), "4000000000", QVariant(4000000000u)},
        {"llpos", QVariant(qlonglong(5000000000LL)), "5000000000", QVariant(qlonglong(5000000000LL))},
        {"llmin", QVariant(std::numeric_limits<qlonglong>::min()), "-9223372036854775808", QVariant(std::numeric_limits<qlonglong>::min())},
        {"ull", QVariant(std::numeric_limits<qulonglong>::max()), "18446744073709551615", QVariant(std::numeric_limits<qulonglong>::max())},
        {"d", QVariant(0.1), "0.10000000000000001", QVariant(0.1)},
        {"d1", QVariant(1.0), "1.0", QVariant(1.0)},
        {"s", QVariant(QString::fromUtf8("北京 \"引号\"\n")), nullptr, QVariant(QString::fromUtf8("北京 \"引号\"\n"))},
        {"gb", QVariant(QString::fromUtf8("你好")), "\"\xC4\xE3\xBA\xC3\"", QVariant(QString::fromUtf8("你好"))},  // GB18030 bytes
    };
    for (const Row& row : rows) {
        CPropertySetObject set;
        set.SetProperty(row.key, row.value);
        const std::string json = set.ToJson();
        EXPECT_TRUE(row.json == nullptr || json == std::string("{\"") + row.key + "\":" + row.json + "}\n") << json;
        CPropertySetObject back;
        ASSERT_TRUE(back.FromJson(json)) << json;
        const QVariant v = back.GetProperty(row.key);
        EXPECT_EQ(v.type(), row.readValue.type()) << row.key;
        EXPECT_EQ(v, row.readValue) << row.key;
    }
}

TEST(PropertySetObject, UnwritableAndUnreadableMembersAreSkippedWithWarnings) {
    CVtLogCapture capture;
    CPropertySetObject set;
    set.SetProperty("date", QDateTime::fromSecsSinceEpoch(0));
    set.SetProperty("n", 3);
    EXPECT_EQ(set.ToJson(), "{\"n\":3}\n");
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_WARN, "[PropertySetObject].ToJson date 未解出的类型"), 1);
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_INFO, "[CPropertySetObject::ToJson] 转换为Json内容"));

    capture.Clear();
    CPropertySetObject read;
    ASSERT_TRUE(read.FromJson("{\"a\":\"x\",\"b\":[1,2],\"c\":null,\"d\":{\"e\":1},\"f\":true,\"g\":\"\xFF\"}"));
    EXPECT_EQ(read.GetProperty("a"), QVariant(QStringLiteral("x")));
    EXPECT_EQ(read.GetProperty("g"), QVariant(QString()));  // not GB18030: empty, not mangled
    EXPECT_EQ(read.GetProperty("f"), QVariant(true));
    EXPECT_FALSE(read.GetProperty("b").isValid());
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_WARN, "未解出的类型"), 3);
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_WARN, "[PropertySetObject].LoadFromJson b 未解出的类型"), 1);
    EXPECT_TRUE(capture.Contains(VTLOG_LEVEL_INFO, "[CPropertySetObject::FromJson] 通过Json内容加载PropertySet"));
}

TEST(PropertySetObject, FromJsonKeepsExistingKeysAndFailsCleanly) {
    CPropertySetObject set;
    set.SetProperty("a", 1);
    ASSERT_TRUE(set.FromJson("{\"a\":2,\"b\":3}"));
    EXPECT_EQ(set.GetProperty("a"), QVariant(1));
    EXPECT_EQ(set.GetProperty("b"), QVariant(3));

    CVtLogCapture capture;
    for (const char* bad : {"", "{", "{\"a\":}", "not json", "{\"a\":1", "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["}) {
        EXPECT_FALSE(set.FromJson(bad)) << bad;
    }
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_ERROR, "[CPropertySetObject::FromJson] 加载Json内容读取失败"), 6);
    std::string deep(100000, '[');
    EXPECT_FALSE(set.FromJson(deep));  // beyond the parser's nesting limit: no crash
    EXPECT_TRUE(set.FromJson("[1,2]"));  // JSON, but no members
    EXPECT_TRUE(set.FromJson("7"));
    EXPECT_EQ(set.ToJson(), "{\"a\":1,\"b\":3}\n");  // unchanged throughout
}

TEST(PropertySetObject, EmptySetIsNullAndMapOperations) {
    CPropertySetObject a, b;
    EXPECT_EQ(a.ToJson(), "null\n");
    a.SetProperty("x", 1);
    a.SetProperty("y", 2);
    b.SetProperty("y", 9);
    b.SetProperty("z", 3);
    a.CopyTo(b);
    EXPECT_EQ(b.ToJson(), "{\"x\":1,\"y\":2,\"z\":3}\n");  // replaced, added, others kept
    EXPECT_TRUE(b.DelProperty("z"));
    EXPECT_FALSE(b.DelProperty("z"));
    CPropertySetObject c(b);
    b.Clear();
    EXPECT_EQ(b.ToJson(), "null\n");
    EXPECT_EQ(c.ToJson(), "{\"x\":1,\"y\":2}\n");  // the copy is its own
}

TEST(VtVariantSetObject, CopiesAreIndependentWithTheirOwnLock) {
    CVtVariantSetObject a;
    a.SetProperty("7", 1);  // the same key as the user data: the two maps are apart
    a.SetUserData(7, 2);
    CVtVariantSetObject b(a);
    CVtVariantSetObject c;
    EXPECT_TRUE(c.IsEmpty());
    c = a;
    c = c;  // self-assignment must not deadlock
    a.SetProperty("7", 10);
    EXPECT_EQ(b.GetProperty("7"), QVariant(1));
    EXPECT_EQ(c.GetUserData(7), QVariant(2));
    EXPECT_EQ(c.GetProperty("7"), QVariant(1));
}

TEST(VtVariantSetObject, ManyThreadsWriteWithoutLosingEntriesAndCrossAssignWithoutDeadlock) {
    CVtVariantSetObject set;
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < 2000; ++i) {
                set.SetProperty("t" + std::to_string(t) + "_" + std::to_string(i), i);
                set.SetUserData(t * 10000 + i, i);
                (void)set.GetProperty("t0_0");
                (void)set.IsEmpty();
            }
        });
    }
    go = true;
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < 8; ++t) {
        for (int i = 0; i < 2000; i += 97) {
            EXPECT_EQ(set.GetUserData(t * 10000 + i), QVariant(i));
            EXPECT_EQ(set.GetProperty("t" + std::to_string(t) + "_" + std::to_string(i)), QVariant(i));
        }
    }
    // a = b and b = a take the two locks in opposite orders; finishing is the assertion.
    CVtVariantSetObject a, b;
    a.SetUserData(1, 1);
    b.SetUserData(2, 2);
    threads.clear();
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                if (t % 2 == 0) {
                    a = b;
                    b.SetProperty("x", i);
                } else {
                    b = a;
                    a.SetProperty("y", i);
                }
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_FALSE(a.IsEmpty());
    EXPECT_FALSE(b.IsEmpty());
}

TEST(TextConvert, RoundTripsExactBytesWithoutByteOrderMarksWithZeroBytesAndNothingForUnencodableText) {
    EXPECT_EQ(ConvertQStringToQByteArray(QString::fromUtf8("你好"), "GB18030"), QByteArray("\xC4\xE3\xBA\xC3"));
    EXPECT_EQ(ConvertCharArrayToQString("\xC4\xE3\xBA\xC3", "GB18030"), QString::fromUtf8("你好"));
    EXPECT_EQ(ConvertStdStringToQString("\xEF\xBB\xBF" "abc", "UTF-8"), QStringLiteral("abc"));
    EXPECT_EQ(ConvertQStringToStdString(QStringLiteral("abc"), "UTF-8"), "abc");
    EXPECT_EQ(ConvertQStringToQByteArray(QStringLiteral("a"), "UTF-16LE"), QByteArray("a\0", 2));
    EXPECT_EQ(ConvertQStringToQByteArray(QStringLiteral("ab"), "UTF-32BE"), QByteArray("\0\0\0a\0\0\0b", 8));
    // Qt's UTF-32 encoder appends a stray zero for every surrogate pair; such output must not pass.
    const QByteArray pair = ConvertQStringToQByteArray(QString::fromUcs4(U"a\U0001F600"), "UTF-32BE");
    EXPECT_TRUE(pair.isEmpty() || pair == QByteArray("\0\0\0a\0\x01\xF6\0", 8)) << pair.toHex().constData();
    const std::string zero("a\0b", 3);
    EXPECT_EQ(ConvertStdStringToQString(zero, "UTF-8").size(), 3);
    EXPECT_EQ(ConvertQStringToStdString(ConvertStdStringToQString(zero, "GB18030"), "GB18030"), zero);
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
}

TEST(TextConvert, UnknownCodecOrInvalidBytesGiveEmptyNeverPartial) {
    const struct Row { const char* what; std::string bytes; const char* codec; } rows[] = {
        {"unknown codec", "abc", "NO-SUCH-CODEC"}, {"null codec name", "abc", nullptr}, {"empty codec name", "abc", ""},
        {"bad UTF-8 byte", "ab\xFF", "UTF-8"}, {"truncated UTF-8", "ab\xE4\xB8", "UTF-8"},
        {"overlong UTF-8", "\xC0\x80", "UTF-8"}, {"UTF-8 surrogate", "\xED\xA0\x80", "UTF-8"},
        {"bad GB18030 byte", "ab\xFF", "GB18030"}, {"truncated GB18030", "ab\xB0", "GB18030"},
        {"truncated GB18030 four-byte", "\x81\x30\x81", "GB18030"}, {"lone 0x80 in GB18030", "a\x80", "GB18030"},
        {"truncated Shift_JIS", "\x81", "Shift_JIS"}, {"UTF-16 odd length", std::string("a\0b", 3), "UTF-16LE"},
        {"UTF-16 lone surrogate", std::string("\x00\xD8\x61\x00", 4), "UTF-16LE"},
        {"UTF-32 beyond Unicode", std::string("\x00\x00\x11\x00", 4), "UTF-32LE"},
    };
    for (const Row& row : rows) {
        EXPECT_TRUE(ConvertStdStringToQString(row.bytes, row.codec).isEmpty()) << row.what;
        EXPECT_TRUE(ConvertQByteArrayToQString(QByteArray(row.bytes.data(), int(row.bytes.size())), row.codec).isEmpty())
            << row.what;
    }
    EXPECT_TRUE(ConvertCharArrayToQString(nullptr, "UTF-8").isEmpty());
}

TEST(TextConvert, GuessPrefersUtf8ThenGb18030) {
    EXPECT_EQ(GuessStdStringTextCodecName("plain ascii"), QByteArray("UTF-8"));
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
}

TEST(TextConvert, UuidsAreWellFormedAndUniqueAcrossThreads) {
    static const QRegularExpression form(QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"));
    std::mutex mutex;
    std::set<std::string> seen;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            std::vector<std::string> mine;
            for (int i = 0; i < 500; ++i) mine.push_back(VtCreateUUID());
            std::lock_guard<std::mutex> lock(mutex);
            seen.insert(mine.begin(), mine.end());
            for (const std::string& id : mine) EXPECT_TRUE(form.match(QString::fromStdString(id)).hasMatch()) << id;
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(seen.size(), 8u * 500u);
}
