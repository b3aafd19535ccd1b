#include "CoreTest.h"
#include "core/PropertySetObject.h"

#include <QDateTime>

#include <limits>

TEST(PropertySetObject, TypeTableBothWaysUnusableMembersSkippedWithWarningsBadJsonChangesNothingAndMapOperations) {
    // The member as written (null: not checked) and the value read back, with its type.
    const struct Row { const char* key; QVariant value; const char* json; QVariant readValue; } rows[] = {
        {"b1", QVariant(true), "1", QVariant(1)},
        {"i", QVariant(-7), "-7", QVariant(-7)},
        {"u", QVariant(4000000000u), "4000000000", QVariant(4000000000u)},
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

    CVtLogCapture capture;
    CPropertySetObject set, read, other;
    EXPECT_EQ(set.ToJson(), "null\n");
    set.SetProperty("date", QDateTime::fromSecsSinceEpoch(0));
    set.SetProperty("a", 1);
    EXPECT_EQ(set.ToJson(), "{\"a\":1}\n");
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_WARN, "[PropertySetObject].ToJson date 未解出的类型"), 1);
    ASSERT_TRUE(set.FromJson("{\"a\":2,\"b\":3}"));  // existing keys are kept
    EXPECT_EQ(set.ToJson(), "{\"a\":1,\"b\":3}\n");

    capture.Clear();
    ASSERT_TRUE(read.FromJson("{\"a\":\"x\",\"b\":[1,2],\"c\":null,\"d\":{\"e\":1},\"f\":true,\"g\":\"\xFF\"}"));
    EXPECT_EQ(read.GetProperty("a"), QVariant(QStringLiteral("x")));
    EXPECT_EQ(read.GetProperty("g"), QVariant(QString()));  // not GB18030: empty, not mangled
    EXPECT_EQ(read.GetProperty("f"), QVariant(true));
    EXPECT_FALSE(read.GetProperty("b").isValid());
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_WARN, "未解出的类型"), 3);
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_WARN, "[PropertySetObject].LoadFromJson b 未解出的类型"), 1);

    capture.Clear();
    for (const char* bad : {"", "{", "{\"a\":}", "not json", "{\"a\":1", "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["})
        EXPECT_FALSE(set.FromJson(bad)) << bad;
    EXPECT_EQ(capture.Count(VTLOG_LEVEL_ERROR, "[CPropertySetObject::FromJson] 加载Json内容读取失败"), 6);
    EXPECT_FALSE(set.FromJson(std::string(100000, '[')));  // beyond the parser's nesting limit: no crash
    EXPECT_TRUE(set.FromJson("[1,2]"));  // JSON, but no members
    EXPECT_EQ(set.ToJson(), "{\"a\":1,\"b\":3}\n");  // unchanged throughout

    other.SetProperty("b", 9);
    other.SetProperty("z", 3);
    set.CopyTo(other);
    EXPECT_EQ(other.ToJson(), "{\"a\":1,\"b\":3,\"z\":3}\n");  // replaced, added, others kept
    EXPECT_TRUE(other.DelProperty("z"));
    EXPECT_FALSE(other.DelProperty("z"));
    CPropertySetObject copy(other);
    other.Clear();
    EXPECT_EQ(other.ToJson(), "null\n");
    EXPECT_EQ(copy.ToJson(), "{\"a\":1,\"b\":3}\n");  // the copy is its own
}
