#include "core/Tools.h"

#include <gtest/gtest.h>

TEST(ToolsUrl, BraceFormsExpandInTheirOrder) {
    struct Case { const char* tmpl; int x, y, z; bool halfRows; const char* expected; };
    const Case cases[] = {
        {"{z}/{x}/{y}", 3, 5, 4, false, "4/3/5"},               // the plain forms
        {"{z+1}/{x-1}/{y+2}", 3, 5, 4, false, "5/2/7"},         // offsets
        {"{Z}/{X}/{Y}", 3, 5, 4, false, "4/3/5"},               // upper case
        {"{-y}", 3, 5, 4, false, "10"},                         // flip over 2^z rows
        {"{-y}", 3, 5, 4, true, "2"},                           // flip over 2^(z-1) rows
        {"{-x}", 3, 5, 4, true, "12"},                          // columns always flip over 2^z
        {"{-y+3}/{-x-2}", 3, 5, 4, false, "13/10"},             // flip, then offset
        {"{y/2}", 3, 5, 4, false, "2"},                         // division
        {"{-y}_{y/2}", 3, 5, 4, false, "10_5"},                 // the division sees the flipped row
        {"{y/3}", 0, -5, 4, false, "-1"},                       // truncation toward zero
        {"{-y}", 0, 0, 0, true, "0"},                           // 2^-1 - 1 - 0 = -0.5 truncates to 0
        {"{y}/{y}", 3, 5, 4, false, "5/5"},                     // every copy of the matched text
        {"{y}/{y+1}", 3, 5, 4, false, "5/{y+1}"},               // only the first form is evaluated
        {"{y+1}/{y}", 3, 5, 4, false, "6/{y}"},                 // the first in the text, not the plainest
        {"{z+007}", 0, 0, 1, false, "8"},                       // leading zeros
        {"{-z}/{-y/2}/{y+}/{x/}/{q}", 1, 2, 3, false, "{-z}/{-y/2}/{y+}/{x/}/{q}"},  // not the grammar
        {"{y/0}/{x/0}", 3, 5, 4, false, "{y/0}/{x/0}"},         // a divisor of 0 never divides
        {"{ y}/{y }/{{y}}", 3, 5, 4, false, "{ y}/{y }/{5}"},   // no blanks inside braces
        {"{x", 3, 5, 4, false, "{x"},                           // an unclosed brace
        {"", 3, 5, 4, false, ""},                               // nothing to expand
        {"{y+99999999999999999999999}", 0, 7, 1, false, "1000000000000000007"},  // offsets saturate
        {"{-x}", 0, 0, 70, false, "9223372036854775807"},        // a flip beyond 64 bits saturates
        {"{z-5}", 0, 0, -2147483647 - 1, false, "-2147483653"},  // no int overflow at the extremes
    };
    for (const Case& c : cases) {
        QString url = QString::fromUtf8(c.tmpl);
        EXPECT_TRUE(Tools::ReplaceUrlXYZ(url, c.x, c.y, c.z, c.halfRows)) << c.tmpl;
        EXPECT_EQ(url, QString::fromUtf8(c.expected)) << c.tmpl;
    }
}
