#include "core/Tools.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Offsets and divisors longer than this are held at it: larger numbers cannot change the outcome
// of an int level, row or column, and the sums below then stay inside 64 bits.
constexpr long long kNumberCap = 1000000000000000000LL;

enum class BraceForm { Offset, Division };

// One placeholder found in the template: where it stands and what it says.
struct BRACE_MATCH {
    int nStart = -1;
    int nLength = 0;
    bool bFlip = false;       // a leading minus
    long long llNumber = 0;   // the signed offset, or the divisor
};

bool IsAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// Reads one or more ASCII digits from `i`; returns the index after them, or -1 when there is none.
int ReadDigits(const QString& s, int i, long long& value) {
    value = 0;
    const int start = i;
    while (i < s.size() && IsAsciiDigit(s.at(i))) {
        const int d = s.at(i).unicode() - '0';
        value = value > (kNumberCap - d) / 10 ? kNumberCap : value * 10 + d;
        ++i;
    }
    return i > start ? i : -1;
}

// The placeholder forms at `i`: "{" ["-"] letter [("+"|"-") digits] "}" or "{" letter "/" digits "}",
// the letter in either case. The minus is accepted only when `allowFlip`.
bool MatchAt(const QString& s, int i, char lower, bool allowFlip, BraceForm form, BRACE_MATCH& m) {
    const int n = s.size();
    int p = i;
    if (p >= n || s.at(p) != QLatin1Char('{')) return false;
    ++p;
    bool flip = false;
    if (allowFlip && p < n && s.at(p) == QLatin1Char('-')) {
        flip = true;
        ++p;
    }
    if (p >= n || (s.at(p) != QLatin1Char(lower) && s.at(p) != QLatin1Char(lower - 'a' + 'A'))) return false;
    ++p;
    long long number = 0;
    if (form == BraceForm::Division) {
        if (p >= n || s.at(p) != QLatin1Char('/')) return false;
        p = ReadDigits(s, p + 1, number);
        if (p < 0) return false;
    } else if (p < n && (s.at(p) == QLatin1Char('+') || s.at(p) == QLatin1Char('-'))) {
        const bool negative = s.at(p) == QLatin1Char('-');
        p = ReadDigits(s, p + 1, number);
        if (p < 0) return false;
        if (negative) number = -number;
    }
    if (p >= n || s.at(p) != QLatin1Char('}')) return false;
    m.nStart = i;
    m.nLength = p + 1 - i;
    m.bFlip = flip;
    m.llNumber = number;
    return true;
}

// The leftmost placeholder of the form, as a regular-expression search would find it.
bool FindFirst(const QString& s, char lower, bool allowFlip, BraceForm form, BRACE_MATCH& m) {
    for (int i = s.indexOf(QLatin1Char('{')); i >= 0; i = s.indexOf(QLatin1Char('{'), i + 1)) {
        if (MatchAt(s, i, lower, allowFlip, form, m)) return true;
    }
    return false;
}

long long SaturatingAdd(long long a, long long b) {
    long long sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<long long>::max() : std::numeric_limits<long long>::min();
    return sum;
}

// Truncation toward zero of a value that may lie beyond 64 bits (a flip at a very deep level).
long long SaturatingTrunc(double v) {
    if (v >= 9.2e18) return std::numeric_limits<long long>::max();
    if (v <= -9.2e18) return std::numeric_limits<long long>::min();
    return static_cast<long long>(std::trunc(v));
}

// Every copy of the matched text, not only the first, takes the value.
void ReplaceAll(QString& url, const BRACE_MATCH& m, long long value) {
    const QString text = url.mid(m.nStart, m.nLength);
    url.replace(text, QString::number(value));
}

// Steps 2 and 3 (row) or 4 and 5 (column): the flip and offset change `v` for the division.
void ExpandAxis(QString& url, char letter, long long& v, long long flipExponent) {
    BRACE_MATCH m;
    if (FindFirst(url, letter, true, BraceForm::Offset, m)) {
        // 2^e is already infinite (or 0) far inside this bound; the clamp only keeps the int argument valid.
        const int e = static_cast<int>(std::max(-4096LL, std::min(4096LL, flipExponent)));
        if (m.bFlip) v = SaturatingTrunc(std::ldexp(1.0, e) - 1.0 - static_cast<double>(v));
        v = SaturatingAdd(v, m.llNumber);
        ReplaceAll(url, m, v);
    }
    // A divisor of 0 leaves its placeholder in the text, like any form the grammar does not know.
    if (FindFirst(url, letter, false, BraceForm::Division, m) && m.llNumber != 0) ReplaceAll(url, m, v / m.llNumber);
}

}  // namespace

bool Tools::ReplaceUrlXYZ(QString& url, int x, int y, int z, bool halfRows) {
    BRACE_MATCH m;
    if (FindFirst(url, 'z', false, BraceForm::Offset, m)) ReplaceAll(url, m, SaturatingAdd(z, m.llNumber));
    long long row = y;
    ExpandAxis(url, 'y', row, halfRows ? static_cast<long long>(z) - 1 : z);
    long long col = x;
    ExpandAxis(url, 'x', col, z);
    return true;
}
