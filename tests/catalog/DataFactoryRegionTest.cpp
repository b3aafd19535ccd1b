#include "CatalogTest.h"

namespace {

bool writeSampleRegionDb(const QString& path) {
    return writeRegionDb(path,
                         {{1, "广东省", "Guangdong", 0, outlineBlob({square(110, 20)})},
                          {2, "广州市", "Guangzhou", 1, outlineBlob({square(113, 23), square(114, 22)})},
                          {3, "北京市", "Beijing", 0, outlineBlob({square(116, 39)})},
                          {4, "朝阳区", "Chaoyang", 3, outlineBlob({square(116.4, 39.9)})},
                          {5, "吉林省", "Jilin", 0, QByteArray()},
                          {6, "长春市", "Changchun", 5, outlineBlob({square(125, 43)})},
                          {7, "朝阳区", "Chaoyang", 6, outlineBlob({square(125.3, 43.8)})},
                          {8, "天河区", "Tianhe", 2, QByteArray()},
                          {9, "it's town", "Its", 1, outlineBlob({square(1, 1)})},
                          {10, "番禺区", "Panyu", 2, outlineBlob({})}},
                         {{"北京市", "直辖市", 116.4, 39.9, "beijing"},
                          {"上海市", "中国", 121.47, 31.23, "shanghai"},
                          {"广州市", "广东省", 113.26, 23.13, "guangzhou"},
                          {"深圳市", "广东省", 114.06, 22.54, "shenzhen"},
                          {"杭州市", "浙江省", 120.16, 30.27, "hangzhou"}});
}

using DataFactoryRegionTest = AppDirTest;

}  // namespace

// The old file name is read while it is the only one; once region.dll exists it is preferred and the old file removed.
TEST_F(DataFactoryRegionTest, ChinaDllIsReadUntilRegionDllReplacesItAndLookupsBindTheirNames) {
    ASSERT_TRUE(writeRegionDb(file("china.dll"), {{99, "旧数据", "Old", 0, QByteArray()}}));
    EXPECT_EQ(DataFactory::getIdAndName().value(99), u8("旧数据"));
    reopen();
    ASSERT_TRUE(writeSampleRegionDb(file("region.dll")));
    const QMap<int, QString> names = DataFactory::getIdAndName();
    EXPECT_EQ(names.size(), 10);
    EXPECT_EQ(names.value(7), u8("朝阳区"));
    EXPECT_FALSE(QFile::exists(file("china.dll")));
    EXPECT_EQ(DataFactory::getIdAndEnglishName().value(6), "Changchun");

    // Only children with an outline: 天河区 (8) and 吉林省 (5) have none.
    const QMap<int, QStringList> byParent = DataFactory::getParentIdAndName();
    EXPECT_EQ(byParent.value(0), QStringList({u8("广东省"), u8("北京市")}));
    EXPECT_EQ(byParent.value(1), QStringList({u8("广州市"), "it's town"}));
    EXPECT_EQ(DataFactory::getParentIdToIdName(2).keys(), QList<int>({8, 10}));
    EXPECT_TRUE(DataFactory::getParentIdToIdName(404).isEmpty());

    // Outline and city lookups bind their names.
    const std::pair<const char*, QList<QPolygonF>> cases[] = {
        {"广州市", {square(113, 23), square(114, 22)}},  // exact name, every polygon of the first blob
        {"北京市|朝阳区", {square(116.4, 39.9)}},         // parent first, child second
        {"长春市|朝阳区", {square(125.3, 43.8)}},         // same child name, other parent
        {"广州", {square(113, 23), square(114, 22)}},     // no exact match: substring
        {"天河区", {}},                                    // area without outline
        {"北京市|朝阳区|x", {}},                           // three parts: no statement, then substring
        {"x' OR '1'='1", {}},                             // a quote is data, never SQL
        {"it's town", {square(1, 1)}},
        {"%", {square(110, 20)}},                         // wildcards stay wildcards
    };
    for (const auto& [name, expected] : cases) {
        bool ok = false;
        EXPECT_EQ(DataFactory::getCityRegion(u8(name), &ok), expected) << name;
        EXPECT_TRUE(ok) << name;
    }
    bool ok[3] = {};
    EXPECT_EQ(DataFactory::getCityRegion(7, &ok[0]), QList<QPolygonF>({square(125.3, 43.8)}));
    EXPECT_TRUE(DataFactory::getCityRegion(404, &ok[1]).isEmpty());
    EXPECT_EQ(DataFactory::getCityRegionPrivate(u8("朝阳区"), &ok[2]).size(), 2);
    EXPECT_TRUE(ok[0] && ok[1] && ok[2]);

    // Whole names only, and a quote is data.
    EXPECT_EQ(DataFactory::findCity(u8("朝阳区"), &ok[0]), QList<QString>({u8("朝阳区"), u8("朝阳区")}));
    EXPECT_EQ(DataFactory::findCity("it's town"), QList<QString>({"it's town"}));
    EXPECT_TRUE(DataFactory::findCity("x' OR '1'='1").isEmpty() && DataFactory::findCity(u8("广州")).isEmpty());

    // City trees group by province under China; municipalities and China itself are keys of their own.
    const QMap<QString, QStringList> inner = {
        {u8("北京市"), {}}, {u8("上海市"), {}}, {u8("广东省"), {u8("广州市"), u8("深圳市")}}, {u8("浙江省"), {u8("杭州市")}}};
    EXPECT_EQ(DataFactory::getEDSCityTree(&ok[1]), (QMap<QString, QMap<QString, QStringList>>{{u8("中国"), inner}}));
    EXPECT_EQ(DataFactory::getSG3CityTree(&ok[2]), (QMap<QString, QMap<QString, QStringList>>{{u8("中国"), {}}}));
    EXPECT_TRUE(ok[0] && ok[1] && ok[2]);
    QPointF center;
    QString py;
    ASSERT_TRUE(DataFactory::getEDSCityCenter(u8("深圳市"), center, py));
    EXPECT_EQ(std::make_pair(center, py), std::make_pair(QPointF(114.06, 22.54), QString("shenzhen")));
    EXPECT_FALSE(DataFactory::getEDSCityCenter(u8("深圳市' or '1'='1"), center, py));
    EXPECT_FALSE(DataFactory::getSG3CityCenter(u8("深圳市"), center, py));
}

// No file (none is made), or a damaged one: every query is empty, and those that report success say they failed.
TEST_F(DataFactoryRegionTest, MissingOrDamagedDatabaseGivesEmptyResults) {
    for (const QByteArray& bytes : {QByteArray(), QByteArray(4096, 'x')}) {
        SCOPED_TRACE(bytes.size());
        reopen();
        ASSERT_TRUE(bytes.isEmpty() || writeFile(file("region.dll"), bytes));
        EXPECT_TRUE(DataFactory::getIdAndName().isEmpty() && DataFactory::getIdAndEnglishName().isEmpty() &&
                    DataFactory::getParentIdAndName().isEmpty() && DataFactory::getParentIdToIdName(1).isEmpty());
        bool ok[4] = {true, true, true, true};
        EXPECT_TRUE(DataFactory::findCity(u8("广州市"), &ok[0]).isEmpty() && DataFactory::getCityRegion(2, &ok[1]).isEmpty() &&
                    DataFactory::getCityRegion(u8("广州市"), &ok[2]).isEmpty());
        const bool noTree = DataFactory::getEDSCityTree(&ok[3]).isEmpty();  // not even China's key without a file
        EXPECT_TRUE(noTree || !bytes.isEmpty());
        EXPECT_FALSE(ok[0] || ok[1] || ok[2] || ok[3]);
        QPointF center(7, 7);
        QString py = "x";
        EXPECT_FALSE(DataFactory::getSG3CityCenter(u8("北京市"), center, py));
        EXPECT_EQ(center, QPointF(7, 7));
        EXPECT_TRUE(!bytes.isEmpty() || QDir(m_dir.path()).entryList(QDir::Files).isEmpty());
    }
}
