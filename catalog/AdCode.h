#pragma once

#include "core/VtCoreExport.h"

#include <string>

// A 12-digit Chinese administrative division code split into its parts:
// province (2 digits), city (2), county (2), town (3), village (3).
// level is that of the deepest part that is not all zeros: 1 province ... 5 village, 0 none.
// Codes shorter than 12 digits are padded on the right with "0"; a code shorter than 2
// characters parses to level 0 with empty parts.
struct VTCORE_EXPORT tagAdCode {
    std::string code;          // the text given, unpadded
    int level = 0;             // 0..5
    std::string province;      // 2 digits
    std::string municipality;  // the province code when it is a municipality or special region, else empty
    std::string city;          // 2 digits
    std::string county;        // 2 digits
    std::string town;          // 3 digits
    std::string village;       // 3 digits

    tagAdCode() = default;
    explicit tagAdCode(const std::string& code);  // stores and parses
    tagAdCode(const tagAdCode&) = default;
    tagAdCode(tagAdCode&&) noexcept = default;
    tagAdCode& operator=(const tagAdCode&) = default;
    tagAdCode& operator=(tagAdCode&&) noexcept = default;

    // Parses `code` into the parts and level; always true.
    bool Parse();
    // Empties the parts and sets level 0; keeps the code.
    void ClearData();
    // Empties the parts and the code.
    void Clear();
    // A province-level code of Beijing, Tianjin, Shanghai, Chongqing, Hong Kong or Macao.
    bool IsMunicipality() const;
    // The parts up to the level, concatenated (2, 4, 6, 9 or 12 digits); empty at level 0.
    std::string Join() const;
    // Six digits padded with zeros for levels 0..3 ("100000" for the whole country), 9 digits at
    // level 4, 12 at level 5.
    std::string ToFormatString() const;
    // ToFormatString() as a number; -1 at level 5, whose 12 digits do not fit an int.
    int ToInteger() const;
};
