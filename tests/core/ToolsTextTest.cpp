#include "core/CoordinateScanner_p.h"
#include "core/Tools.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QRegularExpression>

#include <cmath>
#include <vector>

namespace {

// The coordinate pattern as a backtracking engine runs it; the scanner must find the same matches.
const QRegularExpression& referencePattern() {
    static const QRegularExpression re(VtCoordinatePatternText());
    return re;
}

std::vector<std::pair<int, int>> referenceMatches(const QString& text) {
    std::vector<std::pair<int, int>> out;
    QRegularExpressionMatchIterator it = referencePattern().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out.emplace_back(m.capturedStart(), m.capturedEnd());
    }
    return out;
}

struct Point {
    double x, y, z;
};

void expectPoints(const QString& text, const std::vector<Point>& expected) {
    const std::vector<CVector3D> got = Tools::ParseCoordinates(text);
    ASSERT_EQ(got.size(), expected.size()) << text.toStdString();
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_DOUBLE_EQ(got[i].x, expected[i].x) << text.toStdString() << " #" << i;
        EXPECT_DOUBLE_EQ(got[i].y, expected[i].y) << text.toStdString() << " #" << i;
        EXPECT_DOUBLE_EQ(got[i].z, expected[i].z) << text.toStdString() << " #" << i;
    }
}

}  // namespace

TEST(ToolsText, ScannerFindsWhatTheBacktrackingPatternFinds) {
    // Short random texts over the pattern's own alphabet, where backtracking is still cheap.
    const char alphabet[] = "0123456789  ,,..--+eE\t\n";
    QRandomGenerator rng(20240611);
    for (int i = 0; i < 30000; ++i) {
        QString text;
        const int length = 1 + rng.bounded(22);
        for (int k = 0; k < length; ++k) text.append(QLatin1Char(alphabet[rng.bounded(int(sizeof alphabet) - 1)]));
        text.append(QLatin1Char(' '));
        ASSERT_EQ(VtScanCoordinateMatches(text), referenceMatches(text)) << '"' << text.toStdString() << '"';
    }
}

TEST(ToolsText, ParseCoordinatesOnPastedText) {
    struct Row {
        const char* text;
        std::vector<Point> points;
    };
    const std::vector<Row> rows = {
        {"116.39, 39.9", {{116.39, 39.9, 0}}},
        {"190, 100", {{-170, 90, 0}}},                                 // wrapped and clamped
        {"-190, -100", {{170, -90, 0}}},
        {"180, 90", {{180, 90, 0}}},                                   // borders stay
        {"-180, -90", {{-180, -90, 0}}},
        {"900, 0", {{180, 0, 0}}},                                     // 900 - 2 * 360
        {"1,2,3", {{1, 2, 3}}},
        {"1,2\n3,4\r\n5,6,7", {{1, 2, 0}, {3, 4, 0}, {5, 6, 7}}},     // one point a line
        {"\t116.1 ,\t39.2 , 50.5\n", {{116.1, 39.2, 50.5}}},
        {"1e2, 4.5E1", {{100, 45, 0}}},
        {"1 e 2, - 4", {{100, -4, 0}}},                                // white space inside numbers
        {"1,2,3,4", {{1, 2, 3}}},                                       // the fourth number is no point
        {"1 2, 3", {{12, 3, 0}}},                                       // extra numbers run together
        {"1e999, 2", {{0, 2, 0}}},                                      // overflow reads as 0
        {"1e300, 2", {{std::fmod(1e300, 360.0) > 180 ? std::fmod(1e300, 360.0) - 360 : std::fmod(1e300, 360.0), 2, 0}}},
        {"", {}},
        {"116.39", {}},
        {"116.39, 39.9 x", {}},                                         // a letter other than E/e
        {"116.39, 39.9 A", {}},
        {"116.39; 39.9", {}},
        {"116.39，39.9", {}},                                           // full-width comma
    };
    for (const Row& row : rows) expectPoints(QString::fromUtf8(row.text), row.points);
}

TEST(ToolsText, ParseCoordinatesFinishesOnHostileText) {
    // Long runs of digits and spaces with no comma make a backtracking engine explode (each gap can
    // be split between "\s?" and "\s*" two ways); the scan visits each character a bounded number
    // of times, so these return at once instead of running into the test's time-out.
    QString spaced, digits, plain;
    for (int i = 0; i < 20000; ++i) spaced += QStringLiteral("1  ");
    spaced += QStringLiteral("-");
    digits = QString(60000, QLatin1Char('7')) + QStringLiteral(", -");
    while (plain.size() < 60000) plain += QStringLiteral("1,2 ");
    EXPECT_TRUE(Tools::ParseCoordinates(spaced).empty());
    EXPECT_TRUE(Tools::ParseCoordinates(digits).empty());
    EXPECT_EQ(Tools::ParseCoordinates(plain).size(), size_t(plain.size() / 4));
}

TEST(ToolsText, ColoursFromTextAndBack) {
    struct Row {
        const char* text;
        bool fraction;  // fromColorF instead of toColor
        QColor expected;
    };
    const QColor red(255, 0, 0, 255);
    const std::vector<Row> rows = {
        {"rgb(1, 2, 3)", false, QColor(1, 2, 3, 255)},
        {"rgba(1, 2, 3, 128)", false, QColor(1, 2, 3, 128)},
        {"rgba(1,2,3,0)", false, QColor(1, 2, 3, 0)},
        {"12", false, red},
        {"", false, red},
        {"1,2,3,4,5", false, red},
        {"rgba(1, 2, 3, 0.5)", true, QColor(1, 2, 3, 127)},
        {"rgba(1, 2, 3, 1)", true, QColor(1, 2, 3, 255)},              // 1 is a fraction: opaque
        {"rgba(1, 2, 3, 0)", true, QColor(1, 2, 3, 0)},
        {"rgba(1, 2, 3, 200)", true, QColor(1, 2, 3, 200)},
        {"rgb(1, 2, 3)", true, red},
    };
    for (const Row& row : rows) {
        const QColor got = row.fraction ? Tools::fromColorF(row.text) : Tools::toColor(row.text);
        EXPECT_EQ(got, row.expected) << row.text;
    }
    for (const QColor& c : {QColor(0, 0, 0, 0), QColor(1, 2, 3, 128), QColor(255, 255, 255, 255)}) {
        EXPECT_EQ(Tools::toColor(Tools::toRgbaString(c)), c);
        // Fractions are written with six significant digits, so alpha survives within one step.
        const QColor back = Tools::fromColorF(Tools::toRgbaStringF(c));
        EXPECT_EQ(back.rgb(), c.rgb());
        EXPECT_NEAR(back.alpha(), c.alpha(), 1);
    }
    EXPECT_EQ(Tools::toRgbaString(QColor(1, 2, 3, 128)), QStringLiteral("rgba(1, 2, 3, 128)"));
    EXPECT_EQ(Tools::toRgbaStringF(QColor(1, 2, 3, 255)), QStringLiteral("rgba(1, 2, 3, 1)"));
}

TEST(ToolsText, NumbersFromText) {
    double v = -1;
    EXPECT_TRUE(Tools::isDouble(QStringLiteral(" 2.5 "), &v));
    EXPECT_DOUBLE_EQ(v, 2.5);
    EXPECT_FALSE(Tools::isDouble(QStringLiteral("2,5"), nullptr));
    EXPECT_FALSE(Tools::isDouble(QString(), &v));
    EXPECT_EQ(Tools::doubleToString(1.0 / 3.0, 3), QStringLiteral("0.333"));
    EXPECT_EQ(Tools::doubleToString(12345678.9, 2), QStringLiteral("12345678.90"));  // never exponent form
}
