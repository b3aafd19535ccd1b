#include "tools/vtcore/CliParse.h"

#include <gtest/gtest.h>

using namespace VtCli;

TEST(CliParse, LevelLists) {
    struct Row {
        const char* text;
        bool ok;
        QList<int> levels;
    };
    const Row rows[] = {
        {"12", true, {12}},
        {"1-3", true, {1, 2, 3}},
        {"7-9,3,5,8", true, {3, 5, 7, 8, 9}},   // sorted, duplicates merged
        {" 2 , 4-4 ", true, {2, 4}},             // blanks and one-level ranges
        {"1-23", true, {}},                       // the deepest level is allowed (checked by size below)
        {"0", false, {}},                         // levels are one-based
        {"24", false, {}},                        // deeper than a depository holds
        {"-3", false, {}},                        // negative, not a range
        {"5-3", false, {}},                       // backwards
        {"3,", false, {}},                        // empty part
        {"", false, {}},
        {"2-x", false, {}},
        {"99999999999", false, {}},               // overflows int
    };
    for (const Row& r : rows) {
        QList<int> levels;
        QString error;
        EXPECT_EQ(ParseLevels(QString::fromLatin1(r.text), 1, 23, levels, error), r.ok) << r.text;
        EXPECT_EQ(error.isEmpty(), r.ok) << r.text;
        if (!r.ok) continue;
        if (!r.levels.isEmpty()) {
            EXPECT_EQ(levels, r.levels) << r.text;
        }
        // Formatted back to ranges, the list reads the same.
        QList<int> back;
        ASSERT_TRUE(ParseLevels(FormatLevels(levels), 1, 23, back, error)) << qPrintable(FormatLevels(levels));
        EXPECT_EQ(back, levels);
    }
    QList<int> all;
    QString error;
    ASSERT_TRUE(ParseLevels(QStringLiteral("1-23"), 1, 23, all, error));
    EXPECT_EQ(all.size(), 23);
    EXPECT_EQ(FormatLevels({1, 2, 3, 5, 7, 8}), QStringLiteral("1-3,5,7-8"));
    EXPECT_TRUE(FormatLevels({}).isEmpty());
}

TEST(CliParse, Extents) {
    struct Row {
        const char* text;
        bool ok;
    };
    const Row rows[] = {
        {"115.7,39.4,117.4,41.1", true},
        {"-180,-90,180,90", true},     // the whole world, borders included
        {"10,10,10,10", true},         // a point
        {"180.0001,0,180,1", false},   // beyond the antimeridian
        {"0,-90.5,1,1", false},        // beyond the pole
        {"2,0,1,1", false},            // west of its own west edge
        {"0,2,1,1", false},            // south above north
        {"0,0,1", false},              // three numbers
        {"0,0,1,1,1", false},          // five
        {"nan,0,1,1", false},
        {"inf,0,1,1", false},
        {"0,0,1e400,1", false},
        {"a,b,c,d", false},
    };
    for (const Row& r : rows) {
        EXTENT e{0, 0, 0, 0};
        QString error;
        EXPECT_EQ(ParseExtent(QString::fromLatin1(r.text), e, error), r.ok) << r.text;
    }
    EXTENT e{0, 0, 0, 0};
    QString error;
    ASSERT_TRUE(ParseExtent(QStringLiteral(" -1.5, -2 ,3,4.25"), e, error));
    EXPECT_DOUBLE_EQ(e.minx, -1.5);
    EXPECT_DOUBLE_EQ(e.miny, -2);
    EXPECT_DOUBLE_EQ(e.maxx, 3);
    EXPECT_DOUBLE_EQ(e.maxy, 4.25);
}

TEST(CliParse, HeadersRefuseInjection) {
    struct Row {
        const char* text;
        bool ok;
        const char* name;
        const char* value;
    };
    const Row rows[] = {
        {"Referer: https://example.test/", true, "Referer", "https://example.test/"},
        {"X-Key:abc:def", true, "X-Key", "abc:def"},  // only the first colon separates
        {"Empty:", true, "Empty", ""},
        {": value", false, "", ""},                   // no name
        {"No colon", false, "", ""},
        {"Bad Name: v", false, "", ""},               // blank inside the name
        {"X: a\r\nInjected: b", false, "", ""},       // a second header smuggled in
        {"X: a\nb", false, "", ""},
    };
    for (const Row& r : rows) {
        QByteArray name;
        QByteArray value;
        QString error;
        EXPECT_EQ(ParseHeader(QString::fromLatin1(r.text), name, value, error), r.ok) << r.text;
        if (r.ok) {
            EXPECT_EQ(name, QByteArray(r.name));
            EXPECT_EQ(value, QByteArray(r.value));
        }
    }
}

TEST(CliParse, Datums) {
    struct Row {
        const char* text;
        bool ok;
        Datum datum;
    };
    const Row rows[] = {{"wgs84", true, Datum::Wgs84}, {"WGS-84", true, Datum::Wgs84}, {"gcj02", true, Datum::Gcj02},
                        {"GCJ-02", true, Datum::Gcj02}, {"bd09", true, Datum::Bd09},   {"bd-09", true, Datum::Bd09},
                        {"cgcs2000", false, Datum::Wgs84}, {"", false, Datum::Wgs84}};
    for (const Row& r : rows) {
        Datum d = Datum::Wgs84;
        QString error;
        EXPECT_EQ(ParseDatum(QString::fromLatin1(r.text), d, error), r.ok) << r.text;
        if (r.ok) {
            EXPECT_EQ(d, r.datum) << r.text;
            QString again;
            Datum back = Datum::Wgs84;
            EXPECT_TRUE(ParseDatum(QString::fromLatin1(DatumName(d)), back, again));
            EXPECT_EQ(back, d);
        }
    }
}
