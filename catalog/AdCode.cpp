#include "catalog/AdCode.h"

#include <climits>
#include <sstream>

namespace {

struct MunicipalityRow {
    const char* code;
    const char* name;
};

// Province-level codes that are cities or special regions rather than provinces.
constexpr MunicipalityRow kMunicipalities[] = {
    {"11", "北京市"},
    {"12", "天津市"},
    {"31", "上海市"},
    {"50", "重庆市"},
    {"81", "香港特别行政区"},
    {"82", "澳门特别行政区"},
};

bool isMunicipalityCode(const std::string& province) {
    for (const MunicipalityRow& row : kMunicipalities)
        if (province == row.code) return true;
    return false;
}

}  // namespace

tagAdCode::tagAdCode(const std::string& text) : code(text) { Parse(); }

bool tagAdCode::Parse() {
    ClearData();
    if (code.size() < 2) return true;
    std::string digits = code.substr(0, 12);
    digits.resize(12, '0');

    province = digits.substr(0, 2);
    city = digits.substr(2, 2);
    county = digits.substr(4, 2);
    town = digits.substr(6, 3);
    village = digits.substr(9, 3);

    if (province != "00") {
        level = 1;
        if (isMunicipalityCode(province)) municipality = province;
    }
    // Each part is tested on its own, so "000001000000" is level 3 although its province is zero.
    if (city != "00") level = 2;
    if (county != "00") level = 3;
    if (town != "000") level = 4;
    if (village != "000") level = 5;
    return true;
}

void tagAdCode::ClearData() {
    level = 0;
    province.clear();
    municipality.clear();
    city.clear();
    county.clear();
    town.clear();
    village.clear();
}

void tagAdCode::Clear() {
    ClearData();
    code.clear();
}

bool tagAdCode::IsMunicipality() const { return level == 1 && !municipality.empty(); }

std::string tagAdCode::Join() const {
    switch (level) {
    case 1: return province;
    case 2: return province + city;
    case 3: return province + city + county;
    case 4: return province + city + county + town;
    case 5: return province + city + county + town + village;
    default: return std::string();
    }
}

std::string tagAdCode::ToFormatString() const {
    switch (level) {
    case 1: return province + "0000";
    case 2: return province + city + "00";
    case 3:
    case 4:
    case 5: return Join();
    default: return "100000";
    }
}

int tagAdCode::ToInteger() const {
    std::istringstream in(ToFormatString());
    long long value = 0;
    if (!(in >> value) || value > INT_MAX || value < INT_MIN) return -1;
    return static_cast<int>(value);
}
