#pragma once

#include <QString>

#include <utility>
#include <vector>

// Finds, left to right without overlap, the substrings that the coordinate pattern
//   \s?(N)\s*(?:\s?(?:N))*\s*,\s*(N)\s*(?:,\s*(N))?\s*[\s,]
//   with N = -?\s*\d+(?:\.\d+)?(?:\s*[eE]\s*[-+]?\s*\d+)?
// matches, with the same leftmost-first choice a backtracking regex engine makes, but in time
// linear in the text (a backtracking engine is exponential on long runs of digits and spaces).
// \s and \d are ASCII. Returns [start, end) pairs in UTF-16 code units.
std::vector<std::pair<int, int>> VtScanCoordinateMatches(const QString& text);

// The pattern above as regular-expression text, for checking the scanner against a regex engine
// on inputs short enough for backtracking.
QString VtCoordinatePatternText();
