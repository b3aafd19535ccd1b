#include "catalog/CustomMapManager.h"
#include "catalog/CustomMapTraits_p.h"
#include "core/TextConvert.h"
#include "core/Tools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
QByteArray Binary(const QJsonObject& root) { return QJsonDocument(root).toBinaryData(); }
QJsonObject FromBinary(const QByteArray& bytes) { return QJsonDocument::fromBinaryData(bytes).object(); }
#pragma GCC diagnostic pop

class CustomMapManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_strPath = m_dir.filePath("MyMap.bin");
        m_nSavedMaxTheme = CCustomMapManager::MaxTheme;
        CCustomMapManager::MaxTheme = 0;
    }
    void TearDown() override { CCustomMapManager::MaxTheme = m_nSavedMaxTheme; }

    void WriteFile(const QByteArray& bytes) const {
        QFile f(m_strPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    QByteArray ReadFile() const {
        QFile f(m_strPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QJsonObject Root(const QJsonArray& items, int maxTheme, const QString& version = "1.0.0") {
        return QJsonObject{{"version", version}, {"items", items}, {"MaxTheme", maxTheme}};
    }
    static CCustomMapInfo Online(int index, const char* name) {
        CCustomMapInfo info(index);
        info.SetName(ConvertQStringToStdString(QString::fromUtf8(name), "GB18030"));
        info.SetMapUrl("http://tiles.example/{z}/{x}/{y}.png");
        return info;
    }

    QTemporaryDir m_dir;
    QString m_strPath;
    int m_nSavedMaxTheme = 0;
};

}  // namespace

TEST_F(CustomMapManagerTest, OnlineAndOfflineMapsRoundTripThroughTheFile) {
    COfflineMapInfo offline;
    offline.SetName(QString::fromUtf8("离线影像"));
    offline.SetPath("/tiles/a");
    offline.SetSourceWkt("GEOGCS[\"WGS 84\"]");
    CCustomMapInfo online = Online(4, "谷歌影像");
    online.SetIsBD09(true);
    {
        CCustomMapManager manager(m_strPath);
        EXPECT_TRUE(manager.isEmpty());
        manager.insert(12, CCustomMapObj(online));
        manager.insert(3, CCustomMapObj(offline));
        CCustomMapManager::MaxTheme = 13;
        ASSERT_TRUE(manager.Save());
    }
    const QJsonObject root = FromBinary(ReadFile());
    EXPECT_EQ(root.value("version").toString(), "1.0.0");
    EXPECT_EQ(root.value("MaxTheme").toInt(), 13);
    const QJsonArray items = root.value("items").toArray();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].toObject().value("ThemeType").toInt(), 3);  // ascending key order
    EXPECT_EQ(items[0].toObject().value("type").toString(), "offline");
    EXPECT_EQ(items[1].toObject().value("ThemeType").toInt(), 12);
    EXPECT_EQ(items[1].toObject().size(), 13);  // eleven info members, "type", "ThemeType"

    CCustomMapManager::MaxTheme = 0;
    CCustomMapManager back(m_strPath);
    ASSERT_EQ(back.keys(), (QList<int>{3, 12}));
    EXPECT_EQ(CCustomMapManager::MaxTheme, 13);
    EXPECT_TRUE(back.value(3).IsOffline());
    EXPECT_EQ(back.value(3).ToOfflineMapInfo().SourceWkt(), "GEOGCS[\"WGS 84\"]");
    EXPECT_EQ(back.value(3).Name(), QString::fromUtf8("离线影像"));
    const CCustomMapInfo info = back.value(12).ToCustomMapInfo();
    EXPECT_EQ(info.GetName(), online.GetName());
    EXPECT_EQ(info.GetIndex(), 4);
    EXPECT_TRUE(info.IsBD09());
    EXPECT_FALSE(info.IsWGS84());
}

TEST_F(CustomMapManagerTest, LoadSkipsItemsWithoutTypeAndPutsItemsWithoutThemeTypeAtZero) {
    const QJsonArray items{
        QJsonObject{{"type", "offline"}, {"name", "no key"}},
        QJsonObject{{"name", "no type"}, {"ThemeType", 5}},
        QJsonObject{{"type", "online"}, {"Name", "seven"}, {"ThemeType", 7}},
        QJsonValue(42),  // not an object
        QJsonObject{{"type", "offline"}, {"name", "also no key"}},  // replaces the first under 0
    };
    WriteFile(Binary(Root(items, 8)));
    CCustomMapManager manager(m_strPath);
    EXPECT_EQ(manager.keys(), (QList<int>{0, 7}));
    EXPECT_EQ(manager.value(0).Name(), "also no key");
    EXPECT_EQ(CCustomMapManager::MaxTheme, 8);
}

TEST_F(CustomMapManagerTest, OtherVersionsAndLayoutsChangeNothing) {
    const QJsonArray items{QJsonObject{{"type", "offline"}, {"ThemeType", 1}}};
    const QByteArray files[] = {
        Binary(Root(items, 9, "1.0.1")),
        Binary(Root(items, 9, "")),
        Binary(QJsonObject{{"version", "1.0.0"}, {"items", QJsonObject()}, {"MaxTheme", 9}}),
        Binary(QJsonObject{{"version", 1}, {"items", items}, {"MaxTheme", 9}}),
    };
    for (const QByteArray& bytes : files) {
        WriteFile(bytes);
        CCustomMapManager::MaxTheme = 4;
        CCustomMapManager manager(m_strPath);
        EXPECT_TRUE(manager.isEmpty());
        EXPECT_EQ(CCustomMapManager::MaxTheme, 4);
        manager.clear();
    }
}

TEST_F(CustomMapManagerTest, TruncatedOrGarbageFilesLeaveTheMapAlone) {
    const QJsonArray items{QJsonObject{{"type", "online"}, {"Name", "x"}, {"ThemeType", 2}}};
    const QByteArray good = Binary(Root(items, 3));
    QList<QByteArray> damaged;
    for (int n : {0, 1, 4, 8, 12, good.size() / 2, good.size() - 1}) damaged.append(good.left(n));
    QByteArray flipped = good;
    for (int i = 8; i < flipped.size(); i += 7) flipped[i] = static_cast<char>(flipped[i] ^ 0x5A);
    damaged.append(flipped);
    damaged.append(QByteArray(4096, '\xFF'));
    damaged.append(QByteArray("{\"version\":\"1.0.0\",\"items\":[]}"));  // JSON text is not binary JSON

    for (const QByteArray& bytes : damaged) {
        WriteFile(bytes);
        CCustomMapManager manager(QString{});  // nothing loaded, nothing saved
        manager.insert(1, CCustomMapObj(QJsonObject{{"type", "offline"}}));
        manager.LoadBytes(bytes);
        // Either the document is rejected whole, or (a flip that kept it valid) only whole items come in.
        EXPECT_TRUE(manager.contains(1));
        for (auto it = manager.constBegin(); it != manager.constEnd(); ++it) EXPECT_FALSE(it.value().IsEmpty());
    }
}

// Destruction saves; a shorter catalogue replaces the old one whole; items without a type are not saved.
TEST_F(CustomMapManagerTest, DestructionSavesAndAShorterCatalogueReplacesTheOldOneWhole) {
    {
        CCustomMapManager manager(m_strPath);
        for (int key = 0; key < 50; ++key) manager.insert(key, CCustomMapObj(Online(key, "一个很长的名字")));
    }
    const qint64 longSize = QFileInfo(m_strPath).size();
    {
        CCustomMapManager manager(m_strPath);
        ASSERT_EQ(manager.size(), 50);
        manager.clear();
        manager.insert(9, CCustomMapObj(Online(9, "短")));
        manager.insert(1, CCustomMapObj(QJsonObject{{"name", "typeless"}}));  // not saved
    }
    EXPECT_LT(QFileInfo(m_strPath).size(), longSize);
    CCustomMapManager back(m_strPath);
    EXPECT_EQ(back.keys(), QList<int>{9});
    // No temporary file is left beside the catalogue.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{"MyMap.bin"});
}

TEST_F(CustomMapManagerTest, SaveFailsWhenTheDirectoryIsMissingAndKeepsTheOldFileOtherwise) {
    CCustomMapManager lost(m_dir.filePath("missing/MyMap.bin"));
    lost.insert(1, CCustomMapObj(Online(1, "x")));
    EXPECT_FALSE(lost.Save());
    lost.clear();

    // A directory in the catalogue's place cannot be replaced: Save fails and leaves it.
    const QString blocked = m_dir.filePath("blocked.bin");
    ASSERT_TRUE(QDir().mkpath(blocked));
    CCustomMapManager manager(blocked);
    manager.insert(1, CCustomMapObj(Online(1, "x")));
    EXPECT_FALSE(manager.Save());
    EXPECT_TRUE(QFileInfo(blocked).isDir());
    manager.clear();
}

TEST_F(CustomMapManagerTest, NewKeysSkipUsedOnesUpToTheLimit) {
    CCustomMapManager manager(QString{});
    for (int key : {0, 1, 2}) manager.insert(key, CCustomMapObj(Online(key, "k")));
    EXPECT_EQ(manager.CreateNewKey(), 3);
    EXPECT_EQ(CCustomMapManager::MaxTheme, 3);
    EXPECT_EQ(manager.CreateNewKey(), 3);  // nothing inserted: the same key again

    manager.clear();
    manager.insert(9998, CCustomMapObj(Online(1, "last")));
    CCustomMapManager::MaxTheme = 9997;
    EXPECT_EQ(manager.CreateNewKey(), 9997);
    manager.insert(9997, CCustomMapObj(Online(1, "x")));
    EXPECT_EQ(manager.CreateNewKey(), -1);
    CCustomMapManager::MaxTheme = 10000;
    EXPECT_EQ(manager.CreateNewKey(), -1);
    manager.clear();
}

TEST(CustomMapManagerSeam, CatalogueAnswersComeFromTheManager) {
    SetCustomMapTraitsProvider(nullptr);  // the manager's answers
    CCustomMapManager* manager = CCustomMapManager::Instance();
    const QList<int> before = manager->keys();
    const int dem = 9990, gcj = 9991, bd = 9992, offline = 9993;
    CCustomMapInfo demInfo(1), gcjInfo(2), bdInfo(3);
    demInfo.SetIsDem(true), gcjInfo.SetIsWGS84(false), gcjInfo.SetIsOffset(true), bdInfo.SetIsBD09(true);
    manager->insert(dem, CCustomMapObj(demInfo));
    manager->insert(gcj, CCustomMapObj(gcjInfo));
    manager->insert(bd, CCustomMapObj(bdInfo));
    manager->insert(offline, CCustomMapObj(COfflineMapInfo()));

    EXPECT_TRUE(Tools::isDem(601, dem));
    for (int key : {gcj, offline, 9994, -1}) EXPECT_FALSE(Tools::isDem(601, key)) << key;  // 9994 is absent
    EXPECT_EQ(Tools::getOffsetType(601, gcj), COORD_OFFSET_GCJ02);
    EXPECT_EQ(Tools::getOffsetType(607, bd), COORD_OFFSET_BD09);
    EXPECT_EQ(Tools::getOffsetType(602, dem), Tools::getOffsetType(602, -1));
    EXPECT_EQ(Tools::getOffsetType(606, offline), Tools::getOffsetType(606, -1));

    for (int key : {dem, gcj, bd, offline}) manager->remove(key);
    EXPECT_EQ(manager->keys(), before);
}

TEST(CustomMapManagerSeam, InstanceLivesInTheDataDirectory) {
    EXPECT_TRUE(CCustomMapManager::DefaultFilePath().endsWith("/Data/MyMap.bin"));
}
