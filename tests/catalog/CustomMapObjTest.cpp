#include "catalog/CustomMapObj.h"
#include "catalog/OfflineMapInfo.h"
#include "core/TextConvert.h"
#include "CatalogTest.h"

TEST(CustomMapObj, KindsAndTheirAnswers) {
    CCustomMapInfo online(1);
    online.SetName(ConvertQStringToStdString(QString::fromUtf8("在线"), "GB18030"));
    online.SetIsDem(true);
    COfflineMapInfo offline;
    offline.SetName(QString::fromUtf8("离线"));
    offline.SetPath("/data/tiles");

    const CCustomMapObj a(online), b(offline), empty, other(QJsonObject{{"type", "weird"}, {"DemMap", true}});
    EXPECT_TRUE(a.IsOnline() && a.IsDemMap() && !a.IsOffline() && a.ToOfflineMapInfo().Json().isEmpty());
    EXPECT_TRUE(b.IsOffline() && !b.IsDemMap() && !b.IsOnline() && b.ToCustomMapInfo().GetIndex() == 0);
    EXPECT_EQ(std::make_tuple(a.Name(), b.Name(), b.ToOfflineMapInfo().Path()),
              std::make_tuple(QString::fromUtf8("在线"), QString::fromUtf8("离线"), QString("/data/tiles")));
    EXPECT_TRUE(empty.IsEmpty() && !empty.IsDemMap() && empty.Name().isEmpty() && empty.ToCustomMapInfo().IsWGS84());
    EXPECT_TRUE(!other.IsEmpty() && !other.IsOnline() && !other.IsOffline() && !other.IsDemMap());
}
