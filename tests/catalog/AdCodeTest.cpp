#include "catalog/AdCode.h"
#include "CatalogTest.h"

TEST(AdCode, ParsesLevelsAndParts) {
    struct Case { const char* code; int level; bool municipality; const char *join, *format; int integer; };
    const Case cases[] = {
        {"110000000000", 1, true, "11", "110000", 110000},        // Beijing as a whole
        {"110100000000", 2, false, "1101", "110100", 110100},     // a city of it is not
        {"11", 1, true, "11", "110000", 110000},                  // padded to twelve digits
        {"1", 0, false, "", "100000", 100000},                    // too short: nothing parsed, the whole country
        {"110105", 3, false, "110105", "110105", 110105},         // a district
        {"440000", 1, false, "44", "440000", 440000},             // a province, not a municipality
        {"000001000000", 3, false, "000001", "000001", 1},        // the deepest non-zero part counts
        {"440106001000", 4, false, "440106001", "440106001", 440106001},
        {"440106001002", 5, false, "440106001002", "440106001002", -1},  // twelve digits overflow int
        {"8100000000009999", 1, true, "81", "810000", 810000},   // digits past twelve are ignored
        {"820000", 1, true, "82", "820000", 820000},              // Macao
    };
    for (const Case& c : cases) {
        const tagAdCode code(c.code);
        EXPECT_EQ(std::make_tuple(code.code, code.level, code.IsMunicipality(), code.Join(), code.ToFormatString(), code.ToInteger()),
                  std::make_tuple(std::string(c.code), c.level, c.municipality, std::string(c.join), std::string(c.format), c.integer))
            << c.code;
    }
}

TEST(AdCode, ClearingAndReparsing) {
    tagAdCode code("310115000000");
    code.ClearData();
    EXPECT_TRUE(code.level == 0 && code.province.empty() && code.city.empty() && code.county.empty() && code.code == "310115000000");
    EXPECT_TRUE(code.Parse());
    EXPECT_EQ(std::make_pair(code.level, code.Join()), std::make_pair(3, std::string("310115")));
    code.Clear();
    EXPECT_EQ(std::make_pair(code.code, code.ToFormatString()), std::make_pair(std::string(), std::string("100000")));

    // Parts are cut at their widths.
    const tagAdCode village("440106001002");
    EXPECT_EQ(std::vector<std::string>({village.province, village.municipality, village.city, village.county, village.town,
                                        village.village}),
              std::vector<std::string>({"44", "", "01", "06", "001", "002"}));
    EXPECT_EQ(std::make_pair(tagAdCode("5001").municipality, tagAdCode("1").province), std::make_pair(std::string("50"), std::string()));
    tagAdCode reused("110000");
    reused.code = "440300";
    reused.Parse();  // a municipality from the earlier parse must not survive
    EXPECT_TRUE(!reused.IsMunicipality() && reused.municipality.empty());
}
