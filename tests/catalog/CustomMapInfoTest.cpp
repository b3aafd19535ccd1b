#include "catalog/CustomMapInfo.h"
#include "catalog/CustomMapObj.h"
#include "catalog/OfflineMapInfo.h"
#include "core/TextConvert.h"

#include <QJsonObject>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <tuple>

namespace {

std::string Gb(const char* utf8) { return ConvertQStringToStdString(QString::fromUtf8(utf8), "GB18030"); }

using FLAGS = std::array<bool, 4>;  // IsWGS84, IsBD09, IsOffset, IsDem

FLAGS Flags(const CCustomMapInfo& info) { return {info.IsWGS84(), info.IsBD09(), info.IsOffset(), info.IsDem()}; }

// Every field as the getters give it, so that two infos compare field by field.
auto Fields(const CCustomMapInfo& i) {
    return std::make_tuple(i.GetIndex(), i.GetName(), i.IsExistLabel(), i.GetMapUrl(), i.GetLabelUrl(), i.GetInfoHost(),
                           i.GetInfoReferer(), Flags(i));
}

}  // namespace

TEST(CustomMapInfo, SettersKeepTheFlagsConsistent) {
    struct Case {
        const char* what;
        std::function<void(CCustomMapInfo&)> steps;
        FLAGS expected;
    };
    const std::vector<Case> cases = {
        {"default", [](CCustomMapInfo&) {}, {true, false, false, false}},
        {"BD-09 after WGS84 and DEM clears both",
         [](CCustomMapInfo& i) { i.SetIsWGS84(true); i.SetIsDem(true); i.SetIsBD09(true); },
         {false, true, false, false}},
        {"DEM and WGS84 are ignored while BD-09 is set",
         [](CCustomMapInfo& i) { i.SetIsBD09(true); i.SetIsDem(true); i.SetIsWGS84(true); },
         {false, true, false, false}},
        {"clearing BD-09 lets WGS84 be set again",
         [](CCustomMapInfo& i) { i.SetIsBD09(true); i.SetIsBD09(false); i.SetIsWGS84(true); },
         {true, false, false, false}},
        {"a DEM map reads as WGS84 even when WGS84 was cleared first",
         [](CCustomMapInfo& i) { i.SetIsWGS84(false); i.SetIsDem(true); },
         {true, false, false, true}},
        {"a DEM map cannot be cleared of WGS84", [](CCustomMapInfo& i) { i.SetIsDem(true); i.SetIsWGS84(false); },
         {true, false, false, true}},
        {"a DEM map is never offset", [](CCustomMapInfo& i) { i.SetIsDem(true); i.SetIsOffset(true); },
         {true, false, false, true}},
        {"offset set before DEM stays", [](CCustomMapInfo& i) { i.SetIsOffset(true); i.SetIsDem(true); },
         {true, false, true, true}},
        {"a plain GCJ-02 map", [](CCustomMapInfo& i) { i.SetIsWGS84(false); i.SetIsOffset(true); },
         {false, false, true, false}},
    };
    for (const Case& c : cases) {
        CCustomMapInfo info(3);
        c.steps(info);
        EXPECT_EQ(Flags(info), c.expected) << c.what;
    }
}

TEST(CustomMapInfo, JsonObjectRoundTripKeepsEveryFieldAndChineseText) {
    CCustomMapInfo info(42);
    info.SetName(Gb("天地图影像")), info.SetExistLabel(true), info.SetMapUrl("http://t{0-7}.example/{z}/{x}/{y}.png");
    info.SetLabelUrl(Gb("http://l.example/标注/{z}/{x}/{y}")), info.SetInfoHost("t0.example");
    info.SetInfoReferer("http://ref.example/"), info.SetIsWGS84(false), info.SetIsOffset(true);

    const QJsonObject o = info.ToJsonObject();
    EXPECT_EQ(o.size(), 11);
    EXPECT_EQ(o.value("Name").toString(), QString::fromUtf8("天地图影像"));
    CCustomMapInfo back;
    EXPECT_TRUE(back.FromJsonObject(o));
    EXPECT_EQ(Fields(back), Fields(info));
    EXPECT_EQ(back.ToJsonObject(), o);
}

// The object form takes the four flags as stored, bypassing the setter rules; the string form leaves them alone.
TEST(CustomMapInfo, JsonObjectBypassesTheSetterRulesAndJsonStringLeavesTheFlags) {
    CCustomMapInfo info;
    info.FromJsonObject(QJsonObject{{"BD09", true}, {"WGS84", true}, {"DemMap", true}, {"Offset", true}});
    EXPECT_EQ(Flags(info), (FLAGS{true, true, true, true}));
    // Missing members read as 0, false and "", not as the constructor's defaults.
    EXPECT_EQ(info.GetIndex(), 0);
    EXPECT_TRUE(info.GetName().empty());
    CCustomMapInfo empty(9);
    empty.FromJsonObject(QJsonObject());
    EXPECT_EQ(empty.GetIndex(), 0);
    EXPECT_FALSE(empty.IsWGS84());

    CCustomMapInfo loaded;
    loaded.SetIsWGS84(false);
    const char* allSet = R"({"Index":5,"Name":"n","DemMap":true,"BD09":true,"WGS84":true,"Offset":true})";
    ASSERT_TRUE(loaded.LoadFromJsonString(allSet));
    EXPECT_EQ(loaded.GetIndex(), 5);
    EXPECT_EQ(Flags(loaded), (FLAGS{false, false, false, false}));
}

TEST(CustomMapInfo, JsonStringIsCompactEndsWithNewlineAndRoundTripsNames) {
    CCustomMapInfo info(7);
    info.SetName(Gb("自定义\"地图\"\n第二行"));
    info.SetMapUrl("http://a.example/{z}/{x}/{y}");
    info.SetExistLabel(true);
    const std::string text = info.ToJsonString();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find(": "), std::string::npos);  // compact: no spaces after colons
    // The text is valid UTF-8 JSON whatever the GB18030 name holds.
    EXPECT_FALSE(ConvertStdStringToQString(text, "UTF-8").isEmpty());

    CCustomMapInfo back;
    ASSERT_TRUE(back.LoadFromJsonString(text));
    EXPECT_EQ(Fields(back), Fields(info));
}

TEST(CustomMapInfo, LoadFromJsonStringSurvivesBadText) {
    struct Case {
        const char* text;
        bool parses;
        int index;  // after the call, starting from 9
    };
    const Case cases[] = {
        {"", false, 9},                                // nothing to parse
        {"{\"Index\": 1", false, 9},                   // truncated
        {"not json", false, 9},
        {"[1, 2]", true, 0},                           // parses, but has no members
        {"{\"Index\": \"12\"}", true, 0},              // a text where a number belongs
        {"{\"Index\": 1e300, \"Name\": 5}", true, 0},  // out of range, wrong type
        {"{\"Index\": -3, \"ExistLabel\": 1}", true, -3},
    };
    for (const Case& c : cases) {
        CCustomMapInfo info(9);
        info.SetName("keep");
        EXPECT_EQ(info.LoadFromJsonString(c.text), c.parses) << c.text;
        EXPECT_EQ(info.GetIndex(), c.index) << c.text;
        if (!c.parses) {
            EXPECT_EQ(info.GetName(), "keep") << c.text;
        }
    }
}

TEST(CustomMapObj, KindsAndTheirAnswers) {
    CCustomMapInfo online(1);
    online.SetName(Gb("在线"));
    online.SetIsDem(true);
    COfflineMapInfo offline;
    offline.SetName(QString::fromUtf8("离线"));
    offline.SetPath("/data/tiles");

    const CCustomMapObj a(online), b(offline), empty, other(QJsonObject{{"type", "weird"}, {"DemMap", true}});
    EXPECT_TRUE(a.IsOnline() && a.IsDemMap() && !a.IsOffline());
    EXPECT_EQ(a.Name(), QString::fromUtf8("在线"));
    EXPECT_TRUE(a.ToOfflineMapInfo().Json().isEmpty());
    EXPECT_TRUE(b.IsOffline() && !b.IsDemMap() && !b.IsOnline());
    EXPECT_EQ(b.Name(), QString::fromUtf8("离线"));
    EXPECT_EQ(b.ToOfflineMapInfo().Path(), "/data/tiles");
    EXPECT_EQ(b.ToCustomMapInfo().GetIndex(), 0);

    EXPECT_TRUE(empty.IsEmpty() && !empty.IsDemMap() && empty.Name().isEmpty());
    EXPECT_TRUE(empty.ToCustomMapInfo().IsWGS84());  // a default info
    EXPECT_TRUE(!other.IsEmpty() && !other.IsOnline() && !other.IsOffline() && !other.IsDemMap());
}
