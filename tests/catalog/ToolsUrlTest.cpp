#include "core/Tools.h"

#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

struct URL_CASE {
    const char* szTemplate;
    int x;
    int y;
    int z;
    bool bHalfRows;
    const char* szExpected;
};

// Written from the grammar's regular expressions, as the templates' authors read them: the
// expander must agree with it on every template, including ones it was not designed around.
QString ReferenceExpand(QString url, int x, int y, int z, bool halfRows) {
    static const QRegularExpression zoom(QStringLiteral("\\{[zZ]([+-]\\d+?)?\\}"));
    static const QRegularExpression row(QStringLiteral("\\{(-?)[yY]([+-]\\d+?)?\\}"));
    static const QRegularExpression rowDiv(QStringLiteral("\\{[yY]/(\\d+?)\\}"));
    static const QRegularExpression col(QStringLiteral("\\{(-?)[xX]([+-]\\d+?)?\\}"));
    static const QRegularExpression colDiv(QStringLiteral("\\{[xX]/(\\d+?)\\}"));
    auto m = zoom.match(url);
    if (m.hasMatch()) url.replace(m.captured(0), QString::number(z + m.captured(1).toInt()));
    m = row.match(url);
    if (m.hasMatch()) {
        if (!m.captured(1).isEmpty()) y = static_cast<int>(std::pow(2.0, halfRows ? z - 1 : z) - 1 - y);
        y += m.captured(2).toInt();
        url.replace(m.captured(0), QString::number(y));
    }
    m = rowDiv.match(url);
    if (m.hasMatch() && m.captured(1).toInt() != 0) url.replace(m.captured(0), QString::number(y / m.captured(1).toInt()));
    m = col.match(url);
    if (m.hasMatch()) {
        if (!m.captured(1).isEmpty()) x = static_cast<int>(std::pow(2.0, z) - 1 - x);
        x += m.captured(2).toInt();
        url.replace(m.captured(0), QString::number(x));
    }
    m = colDiv.match(url);
    if (m.hasMatch() && m.captured(1).toInt() != 0) url.replace(m.captured(0), QString::number(x / m.captured(1).toInt()));
    return url;
}

QString Expand(const char* tmpl, int x, int y, int z, bool halfRows) {
    QString url = QString::fromUtf8(tmpl);
    EXPECT_TRUE(Tools::ReplaceUrlXYZ(url, x, y, z, halfRows));
    return url;
}

}  // namespace

TEST(ToolsUrl, BraceFormsExpandInTheirOrder) {
    const URL_CASE cases[] = {
        {"{z}/{x}/{y}", 3, 5, 4, false, "4/3/5"},               // the plain forms
        {"{z+1}/{x-1}/{y+2}", 3, 5, 4, false, "5/2/7"},         // offsets
        {"{Z}/{X}/{Y}", 3, 5, 4, false, "4/3/5"},               // upper case
        {"{-y}", 3, 5, 4, false, "10"},                         // flip over 2^z rows
        {"{-y}", 3, 5, 4, true, "2"},                           // flip over 2^(z-1) rows
        {"{-x}", 3, 5, 4, true, "12"},                          // columns always flip over 2^z
        {"{-y+3}/{-x-2}", 3, 5, 4, false, "13/10"},             // flip, then offset
        {"{y/2}", 3, 5, 4, false, "2"},                         // division
        {"{-y}_{y/2}", 3, 5, 4, false, "10_5"},                 // the division sees the flipped row
        {"{x+1}_{x/2}", 3, 5, 4, false, "4_2"},                 // ... and the offset column
        {"{y/3}", 0, -5, 4, false, "-1"},                       // truncation toward zero
        {"{-y}", 0, 0, 0, true, "0"},                           // 2^-1 - 1 - 0 = -0.5 truncates to 0
        {"{y}/{y}", 3, 5, 4, false, "5/5"},                     // every copy of the matched text
        {"{y}/{y+1}", 3, 5, 4, false, "5/{y+1}"},               // only the first form is evaluated
        {"{z}{z+1}{z}", 0, 0, 7, false, "7{z+1}7"},             // ... for zoom as well
        {"{y+1}/{y}", 3, 5, 4, false, "6/{y}"},                 // the first in the text, not the plainest
        {"{z+007}", 0, 0, 1, false, "8"},                       // leading zeros
        {"{-z}/{-y/2}/{y+}/{x/}/{q}", 1, 2, 3, false, "{-z}/{-y/2}/{y+}/{x/}/{q}"},  // not the grammar
        {"{y/0}/{x/0}", 3, 5, 4, false, "{y/0}/{x/0}"},         // a divisor of 0 never divides
        {"{ y}/{y }/{{y}}", 3, 5, 4, false, "{ y}/{y }/{5}"},   // no blanks inside braces
        {"{x", 3, 5, 4, false, "{x"},                           // an unclosed brace
        {"http://t{z}.example/{x}", 3, 5, 4, false, "http://t4.example/3"},
        {"", 3, 5, 4, false, ""},                               // nothing to expand
        {"{y+99999999999999999999999}", 0, 7, 1, false, "1000000000000000007"},  // offsets saturate
        {"{-x}", 0, 0, 70, false, "9223372036854775807"},        // a flip beyond 64 bits saturates
        {"{z-5}", 0, 0, -2147483647 - 1, false, "-2147483653"},  // no int overflow at the extremes
    };
    for (const URL_CASE& c : cases) {
        SCOPED_TRACE(c.szTemplate);
        EXPECT_EQ(Expand(c.szTemplate, c.x, c.y, c.z, c.bHalfRows), QString::fromUtf8(c.szExpected));
    }
}

TEST(ToolsUrl, AgreesWithTheGrammarsExpressionsOnRandomTemplates) {
    const char* const pieces[] = {"{z}", "{Z+2}", "{z-1}", "{y}", "{Y}", "{-y}", "{-Y+3}", "{y-4}", "{y/3}",
                                  "{Y/2}", "{y/0}", "{x}", "{X}", "{-x}", "{-x-1}", "{x+12}", "{x/5}", "{X/1}",
                                  "{-z}", "{-y/2}", "{", "}", "/", "-", "a", "{x+}", "{yy}", "{y/-2}"};
    std::mt19937 rng(7331);
    std::uniform_int_distribution<int> piece(0, static_cast<int>(std::size(pieces)) - 1);
    std::uniform_int_distribution<int> count(0, 6);
    std::uniform_int_distribution<int> level(0, 20);
    for (int i = 0; i < 5000; ++i) {
        QString tmpl;
        for (int k = count(rng); k > 0; --k) tmpl += QString::fromUtf8(pieces[piece(rng)]);
        const int z = level(rng);
        const int n = 1 << z;
        const int x = std::uniform_int_distribution<int>(0, n - 1)(rng);
        const int y = std::uniform_int_distribution<int>(0, n - 1)(rng);
        const bool half = (i & 1) != 0;
        QString got = tmpl;
        Tools::ReplaceUrlXYZ(got, x, y, z, half);
        ASSERT_EQ(got, ReferenceExpand(tmpl, x, y, z, half)) << tmpl.toStdString() << " x=" << x << " y=" << y
                                                             << " z=" << z << " half=" << half;
    }
}
