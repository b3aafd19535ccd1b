#include "catalog/CustomMapManager.h"
#include "core/TextConvert.h"
#include "CatalogTest.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
QByteArray Binary(const QJsonObject& root) { return QJsonDocument(root).toBinaryData(); }
QJsonObject FromBinary(const QByteArray& bytes) { return QJsonDocument::fromBinaryData(bytes).object(); }
#pragma GCC diagnostic pop

QJsonObject Root(const QJsonValue& items, int maxTheme, const QJsonValue& version = "1.0.0") {
    return QJsonObject{{"version", version}, {"items", items}, {"MaxTheme", maxTheme}};
}
CCustomMapObj Online(int index, const char* name) {
    CCustomMapInfo info(index);
    info.SetName(ConvertQStringToStdString(QString::fromUtf8(name), "GB18030"));
    info.SetMapUrl("http://tiles.example/{z}/{x}/{y}.png");
    return CCustomMapObj(info);
}

class CustomMapManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_savedMaxTheme = CCustomMapManager::MaxTheme;
        CCustomMapManager::MaxTheme = 0;
    }
    void TearDown() override { CCustomMapManager::MaxTheme = m_savedMaxTheme; }

    QTemporaryDir m_dir;
    const QString m_path = m_dir.filePath("MyMap.bin");
    int m_savedMaxTheme = 0;
};

}  // namespace

// Items in key order, reloaded whole; destruction saves, and a shorter catalogue replaces the old one whole.
TEST_F(CustomMapManagerTest, MapsRoundTripThroughTheFile) {
    COfflineMapInfo offline;
    offline.SetName(QString::fromUtf8("离线影像"));
    offline.SetSourceWkt("GEOGCS[\"WGS 84\"]");
    CCustomMapInfo online = Online(4, "谷歌影像").ToCustomMapInfo();
    online.SetIsBD09(true);
    {
        CCustomMapManager manager(m_path);
        EXPECT_TRUE(manager.isEmpty());
        for (int key = 20; key < 70; ++key) manager.insert(key, Online(key, "一个很长的名字"));
        manager.insert(12, CCustomMapObj(online));
        manager.insert(3, CCustomMapObj(offline));
        CCustomMapManager::MaxTheme = 13;
    }
    const qint64 longSize = QFileInfo(m_path).size();
    const QJsonObject root = FromBinary(readFile(m_path));
    EXPECT_EQ(root, Root(root.value("items"), 13));
    const QJsonArray items = root.value("items").toArray();
    ASSERT_EQ(items.size(), 52);
    // In key order; eleven info members, "type" and "ThemeType".
    EXPECT_EQ(std::make_tuple(items[0]["ThemeType"].toInt(), items[0]["type"].toString(), items[1]["ThemeType"].toInt(),
                              items[1].toObject().size()),
              std::make_tuple(3, QString("offline"), 12, 13));

    CCustomMapManager::MaxTheme = 0;
    {
        CCustomMapManager back(m_path);
        EXPECT_EQ(std::make_tuple(back.size(), CCustomMapManager::MaxTheme, back.value(3).IsOffline(), back.value(3).Name(),
                                  back.value(3).ToOfflineMapInfo().SourceWkt()),
                  std::make_tuple(52, 13, true, QString::fromUtf8("离线影像"), QString("GEOGCS[\"WGS 84\"]")));
        const CCustomMapInfo info = back.value(12).ToCustomMapInfo();
        EXPECT_EQ(std::make_tuple(info.GetName(), info.GetIndex(), info.IsBD09(), info.IsWGS84()),
                  std::make_tuple(online.GetName(), 4, true, false));
        back.clear();
        back.insert(9, Online(9, "短"));
        back.insert(1, CCustomMapObj(QJsonObject{{"name", "typeless"}}));  // not saved
    }
    EXPECT_LT(QFileInfo(m_path).size(), longSize);
    EXPECT_EQ(CCustomMapManager(m_path).keys(), QList<int>{9});
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"MyMap.bin"});  // no temporary file left
}

TEST_F(CustomMapManagerTest, LoadTakesOnlyWholeTypedItemsOfItsOwnVersion) {
    const QJsonArray items{
        QJsonObject{{"type", "offline"}, {"name", "no key"}},       // at key 0
        QJsonObject{{"name", "no type"}, {"ThemeType", 5}},         // skipped
        QJsonObject{{"type", "online"}, {"Name", "seven"}, {"ThemeType", 7}},
        QJsonValue(42),                                              // not an object
        QJsonObject{{"type", "offline"}, {"name", "also no key"}},  // replaces the first under 0
    };
    ASSERT_TRUE(writeFile(m_path, Binary(Root(items, 8))));
    CCustomMapManager manager(m_path);
    EXPECT_EQ(manager.keys(), (QList<int>{0, 7}));
    EXPECT_EQ(manager.value(0).Name(), "also no key");
    EXPECT_EQ(CCustomMapManager::MaxTheme, 8);
    manager.clear();

    // Other versions and layouts, truncated or garbage bytes: nothing new comes in.
    const QByteArray good = Binary(Root(items, 3));
    QList<QByteArray> damaged = {Binary(Root(items, 9, "1.0.1")), Binary(Root(items, 9, "")), Binary(Root(QJsonObject(), 9)),
                                 Binary(Root(items, 9, 1)), QByteArray(4096, '\xFF'), "{\"version\":\"1.0.0\",\"items\":[]}"};
    for (int n : {0, 1, 4, 8, 12, good.size() / 2, good.size() - 1}) damaged.append(good.left(n));
    for (const QByteArray& bytes : damaged) {
        CCustomMapManager::MaxTheme = 4;
        manager.insert(1, CCustomMapObj(QJsonObject{{"type", "offline"}}));
        manager.LoadBytes(bytes);
        EXPECT_TRUE(manager.keys() == QList<int>{1} && CCustomMapManager::MaxTheme == 4);
    }
}

TEST_F(CustomMapManagerTest, SaveNeedsAPlaceForTheFileAndNewKeysSkipUsedOnesUpToTheLimit) {
    for (const QString& path : {QString(), m_dir.filePath("missing/MyMap.bin"), m_dir.path()}) {
        CCustomMapManager manager(path);
        manager.insert(1, Online(1, "x"));
        EXPECT_FALSE(manager.Save()) << path.toStdString();
        manager.clear();
    }
    EXPECT_TRUE(QFileInfo(m_dir.path()).isDir());  // a directory in the catalogue's place is left

    CCustomMapManager manager(QString{});
    for (int key : {0, 1, 2}) manager.insert(key, Online(key, "k"));
    EXPECT_EQ(manager.CreateNewKey(), 3);
    EXPECT_EQ(CCustomMapManager::MaxTheme, 3);
    EXPECT_EQ(manager.CreateNewKey(), 3);  // nothing inserted: the same key again
    manager.clear();
    manager.insert(9998, Online(1, "last"));
    CCustomMapManager::MaxTheme = 9997;
    EXPECT_EQ(manager.CreateNewKey(), 9997);
    manager.insert(9997, Online(1, "x"));
    EXPECT_EQ(manager.CreateNewKey(), -1);
    manager.clear();
}
