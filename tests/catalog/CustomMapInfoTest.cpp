#include "catalog/CustomMapInfo.h"
#include "core/TextConvert.h"
#include "CatalogTest.h"

#include <array>

namespace {

std::string Gb(const char* utf8) { return ConvertQStringToStdString(QString::fromUtf8(utf8), "GB18030"); }

using FLAGS = std::array<bool, 4>;  // IsWGS84, IsBD09, IsOffset, IsDem
FLAGS Flags(const CCustomMapInfo& i) { return {i.IsWGS84(), i.IsBD09(), i.IsOffset(), i.IsDem()}; }

// Every field as the getters give it, so that two infos compare field by field.
auto Fields(const CCustomMapInfo& i) {
    return std::make_tuple(i.GetIndex(), i.GetName(), i.IsExistLabel(), i.GetMapUrl(), i.GetLabelUrl(), i.GetInfoHost(),
                           i.GetInfoReferer(), Flags(i));
}

}  // namespace

TEST(CustomMapInfo, SettersKeepTheFlagsConsistent) {
    using I = CCustomMapInfo&;
    const std::pair<std::function<void(I)>, FLAGS> cases[] = {
        {[](I) {}, {true, false, false, false}},                                                            // default
        {[](I i) { i.SetIsWGS84(true), i.SetIsDem(true), i.SetIsBD09(true); }, {false, true, false, false}},  // BD-09 clears both
        {[](I i) { i.SetIsBD09(true), i.SetIsDem(true), i.SetIsWGS84(true); }, {false, true, false, false}},  // ignored under BD-09
        {[](I i) { i.SetIsBD09(true), i.SetIsBD09(false), i.SetIsWGS84(true); }, {true, false, false, false}},
        {[](I i) { i.SetIsWGS84(false), i.SetIsDem(true); }, {true, false, false, true}},   // DEM reads as WGS84
        {[](I i) { i.SetIsDem(true), i.SetIsWGS84(false); }, {true, false, false, true}},   // and cannot lose it
        {[](I i) { i.SetIsDem(true), i.SetIsOffset(true); }, {true, false, false, true}},   // DEM is never offset
        {[](I i) { i.SetIsOffset(true), i.SetIsDem(true); }, {true, false, true, true}},    // offset set before stays
        {[](I i) { i.SetIsWGS84(false), i.SetIsOffset(true); }, {false, false, true, false}},  // plain GCJ-02
    };
    for (size_t n = 0; n < std::size(cases); ++n) {
        CCustomMapInfo info(3);
        cases[n].first(info);
        EXPECT_EQ(Flags(info), cases[n].second) << "row " << n;
    }
}

TEST(CustomMapInfo, JsonRoundTripsKeepEveryFieldAndChineseText) {
    CCustomMapInfo info(42);
    info.SetName(Gb("天地图\"影像\"\n第二行")), info.SetExistLabel(true), info.SetMapUrl("http://t{0-7}.example/{z}/{x}/{y}.png");
    info.SetLabelUrl(Gb("http://l.example/标注/{z}/{x}/{y}")), info.SetInfoHost("t0.example");
    info.SetInfoReferer("http://ref.example/"), info.SetIsWGS84(false), info.SetIsOffset(true);

    const QJsonObject o = info.ToJsonObject();
    EXPECT_EQ(std::make_pair(o.size(), o.value("Name").toString()), std::make_pair(11, QString::fromUtf8("天地图\"影像\"\n第二行")));
    CCustomMapInfo back;
    EXPECT_TRUE(back.FromJsonObject(o));
    EXPECT_EQ(Fields(back), Fields(info));
    // The object form takes the four flags as stored, bypassing the setter rules; missing members read as 0, false, "".
    back.FromJsonObject(QJsonObject{{"BD09", true}, {"WGS84", true}, {"DemMap", true}, {"Offset", true}});
    EXPECT_EQ(std::make_tuple(Flags(back), back.GetIndex(), back.GetName()), std::make_tuple(FLAGS{true, true, true, true}, 0, std::string()));

    // The text form is compact JSON of the UTF-8 text (escaped) ending in a newline; it leaves the four flags alone.
    const std::string text = info.ToJsonString();
    EXPECT_TRUE(!text.empty() && text.back() == '\n' && text.find(": ") == std::string::npos && text.find("\\u5929\\u5730\\u56fe") != std::string::npos);
    CCustomMapInfo fromText;
    ASSERT_TRUE(fromText.LoadFromJsonString(text));
    EXPECT_EQ(Flags(fromText), (FLAGS{true, false, false, false}));
    fromText.SetIsWGS84(false), fromText.SetIsOffset(true);
    EXPECT_EQ(Fields(fromText), Fields(info));
}

TEST(CustomMapInfo, LoadFromJsonStringSurvivesBadText) {
    const std::tuple<const char*, bool, int> cases[] = {  // text, parses, index after it (from 9)
        {"{\"Index\": 1", false, 9},                   // truncated
        {"[1, 2]", true, 0},                           // parses, but has no members
        {"{\"Index\": \"12\"}", true, 0},              // a text where a number belongs
        {"{\"Index\": 1e300, \"Name\": 5}", true, 0},  // out of range, wrong type
        {"{\"Index\": -3, \"ExistLabel\": 1}", true, -3},
    };
    for (const auto& [text, parses, index] : cases) {
        CCustomMapInfo info(9);
        info.SetName("keep");
        EXPECT_EQ(info.LoadFromJsonString(text), parses) << text;
        EXPECT_EQ(info.GetIndex(), index) << text;
        EXPECT_EQ(info.GetName(), parses ? "" : "keep") << text;
    }
}
