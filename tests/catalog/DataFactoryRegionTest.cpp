#include "catalog/DataFactory.h"

#include "RegionDbBuilder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>


using regiondb::Area;
using regiondb::City3D;
using regiondb::outlineBlob;
using regiondb::square;

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// An outline that announces five points but holds two.
QByteArray truncatedOutline() {
    QByteArray blob = outlineBlob({regiondb::polygon({QPointF(1, 2), QPointF(3, 4)})});
    blob[4] = 5;
    return blob;
}

void writeSampleRegionDb(const QString& path) {
    regiondb::Writer w(path);
    const Area areas[] = {
        {1, "广东省", "Guangdong", 0, outlineBlob({square(110, 20)})},
        {2, "广州市", "Guangzhou", 1, outlineBlob({square(113, 23), square(114, 22)})},
        {3, "北京市", "Beijing", 0, outlineBlob({square(116, 39)})},
        {4, "朝阳区", "Chaoyang", 3, outlineBlob({square(116.4, 39.9)})},
        {5, "吉林省", "Jilin", 0, QByteArray()},
        {6, "长春市", "Changchun", 5, outlineBlob({square(125, 43)})},
        {7, "朝阳区", "Chaoyang", 6, outlineBlob({square(125.3, 43.8)})},
        {8, "天河区", "Tianhe", 2, QByteArray()},
        {9, "it's town", "Its", 1, outlineBlob({square(1, 1)})},
        {10, "残缺县", "Broken", 2, truncatedOutline()},
    };
    for (const Area& a : areas) w.add(a);
    const City3D eds[] = {
        {"北京市", "直辖市", 116.4, 39.9, "beijing"},
        {"上海市", "中国", 121.47, 31.23, "shanghai"},
        {"广州市", "广东省", 113.26, 23.13, "guangzhou"},
        {"深圳市", "广东省", 114.06, 22.54, "shenzhen"},
        {"杭州市", "浙江省", 120.16, 30.27, "hangzhou"},
    };
    for (const City3D& c : eds) w.add("cities_eds", c);
    ASSERT_TRUE(w.ok());
}

class DataFactoryRegionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        DataFactory::setApplicationDir(m_dir.path());
    }
    void TearDown() override { DataFactory::setApplicationDir(QString()); }

    QString file(const char* name) const { return QDir(m_dir.path()).filePath(name); }

    QTemporaryDir m_dir;
};

}  // namespace

// The old file name is read while it is the only one; once region.dll exists it is preferred and the old file removed.
TEST_F(DataFactoryRegionTest, ChinaDllIsReadUntilRegionDllReplacesIt) {
    {
        regiondb::Writer old(file("china.dll"));
        old.add(Area{99, "旧数据", "Old", 0, QByteArray()});
    }
    EXPECT_EQ(DataFactory::getIdAndName().value(99), u("旧数据"));
    DataFactory::setApplicationDir(m_dir.path());  // closes the connection
    writeSampleRegionDb(file("region.dll"));
    const QMap<int, QString> names = DataFactory::getIdAndName();
    EXPECT_EQ(names.value(1), u("广东省"));
    EXPECT_FALSE(names.contains(99));
    EXPECT_FALSE(QFile::exists(file("china.dll")));
    EXPECT_TRUE(QFile::exists(file("region.dll")));
}

TEST_F(DataFactoryRegionTest, AreaListsFollowTheTable) {
    writeSampleRegionDb(file("region.dll"));
    const QMap<int, QString> names = DataFactory::getIdAndName();
    EXPECT_EQ(names.size(), 10);
    EXPECT_EQ(names.value(7), u("朝阳区"));
    EXPECT_EQ(DataFactory::getIdAndEnglishName().value(6), "Changchun");

    // Only children with an outline: 天河区 (8) has none, and 吉林省 (5) has none either.
    const QMap<int, QStringList> byParent = DataFactory::getParentIdAndName();
    EXPECT_EQ(byParent.value(0), QStringList({u("广东省"), u("北京市")}));
    EXPECT_EQ(byParent.value(2), QStringList({u("残缺县")}));
    EXPECT_EQ(byParent.value(1), QStringList({u("广州市"), "it's town"}));

    const QMap<int, QString> children = DataFactory::getParentIdToIdName(2);
    EXPECT_EQ(children.keys(), QList<int>({8, 10}));
    EXPECT_TRUE(DataFactory::getParentIdToIdName(404).isEmpty());
}

TEST_F(DataFactoryRegionTest, OutlineLookups) {
    writeSampleRegionDb(file("region.dll"));
    struct Case {
        const char* name;
        QList<QPolygonF> expected;
    };
    const Case cases[] = {
        {"广州市", {square(113, 23), square(114, 22)}},   // exact name, every polygon of the first blob
        {"北京市|朝阳区", {square(116.4, 39.9)}},          // parent first, child second
        {"长春市|朝阳区", {square(125.3, 43.8)}},          // same child name, other parent
        {"广州", {square(113, 23), square(114, 22)}},      // no exact match: substring
        {"天河区", {}},                                     // area without outline
        {"上海市", {}},                                     // unknown area
        {"北京市|朝阳区|x", {}},                            // three parts: empty statement, then substring
        {"x' OR '1'='1", {}},                              // a quote is data, never SQL
        {"%", {square(110, 20)}},                          // wildcards stay wildcards, as in the original
        {"残缺县", {regiondb::polygon({QPointF(1, 2), QPointF(3, 4)})}},  // truncated: stops at its last byte
    };
    for (const Case& c : cases) {
        bool ok = false;
        EXPECT_EQ(DataFactory::getCityRegion(u(c.name), &ok), c.expected) << c.name;
        EXPECT_TRUE(ok) << c.name;
    }
    bool ok = false;
    EXPECT_EQ(DataFactory::getCityRegion(7, &ok), QList<QPolygonF>({square(125.3, 43.8)}));
    EXPECT_TRUE(ok);
    EXPECT_TRUE(DataFactory::getCityRegion(404, &ok).isEmpty());
    EXPECT_TRUE(ok);
    EXPECT_EQ(DataFactory::getCityRegionPrivate(u("朝阳区"), &ok).size(), 2);
    EXPECT_EQ(DataFactory::getCityRegion(u("it's town")), QList<QPolygonF>({square(1, 1)}));
}

TEST_F(DataFactoryRegionTest, CityLookups) {
    writeSampleRegionDb(file("region.dll"));
    // Whole names only, and a quote is data.
    bool ok = false;
    EXPECT_EQ(DataFactory::findCity(u("朝阳区"), &ok), QList<QString>({u("朝阳区"), u("朝阳区")}));
    EXPECT_TRUE(ok);
    EXPECT_EQ(DataFactory::findCity("it's town", &ok), QList<QString>({"it's town"}));
    EXPECT_TRUE(DataFactory::findCity("x' OR '1'='1", &ok).isEmpty());
    EXPECT_TRUE(ok);
    EXPECT_TRUE(DataFactory::findCity(u("广州"), &ok).isEmpty());  // no substring fallback here

    // City trees group by province under China.
    const auto eds = DataFactory::getEDSCityTree(&ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(eds.keys(), QStringList({u("中国")}));
    const QMap<QString, QStringList> inner = {
        {u("北京市"), {}}, {u("上海市"), {}}, {u("广东省"), {u("广州市"), u("深圳市")}}, {u("浙江省"), {u("杭州市")}}};
    EXPECT_EQ(eds.first(), inner);
    const auto sg3 = DataFactory::getSG3CityTree(&ok);  // empty table
    EXPECT_TRUE(ok);
    ASSERT_EQ(sg3.keys(), QStringList({u("中国")}));
    EXPECT_TRUE(sg3.first().isEmpty());

    QPointF center;
    QString py;
    ASSERT_TRUE(DataFactory::getEDSCityCenter(u("深圳市"), center, py));
    EXPECT_EQ(center, QPointF(114.06, 22.54));
    EXPECT_EQ(py, "shenzhen");
    EXPECT_FALSE(DataFactory::getEDSCityCenter(u("深圳市' or '1'='1"), center, py));
    EXPECT_FALSE(DataFactory::getSG3CityCenter(u("深圳市"), center, py));
}

// No file (none is made), or a damaged one: every query is empty, and those that report success say they failed.
TEST_F(DataFactoryRegionTest, MissingOrDamagedDatabaseGivesEmptyResults) {
    const QByteArray header = QByteArray("SQLite format 3", 16);
    const QByteArray damaged[] = {
        QByteArray(),                      // no file at all
        QByteArray(4096, 'x'),             // not a database at all
        header,                            // a header and nothing else
        header + QByteArray(100, '\xff'),  // a header followed by noise
    };
    for (const QByteArray& bytes : damaged) {
        SCOPED_TRACE(bytes.size());
        DataFactory::setApplicationDir(m_dir.path());  // closes the previous connection
        if (!bytes.isEmpty()) {
            QFile f(file("region.dll"));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        }
        EXPECT_TRUE(DataFactory::getIdAndName().isEmpty());
        EXPECT_TRUE(DataFactory::getIdAndEnglishName().isEmpty());
        EXPECT_TRUE(DataFactory::getParentIdAndName().isEmpty());
        EXPECT_TRUE(DataFactory::getParentIdToIdName(1).isEmpty());
        bool ok[3] = {true, true, true};
        EXPECT_TRUE(DataFactory::findCity(u("广州市"), &ok[0]).isEmpty());
        EXPECT_TRUE(DataFactory::getCityRegion(2, &ok[1]).isEmpty());
        EXPECT_TRUE(DataFactory::getCityRegion(u("广州市"), &ok[2]).isEmpty());
        for (bool b : ok) EXPECT_FALSE(b);
        QPointF center(7, 7);
        QString py = "x";
        EXPECT_FALSE(DataFactory::getSG3CityCenter(u("北京市"), center, py));
        EXPECT_EQ(center, QPointF(7, 7));
        if (bytes.isEmpty()) {
            bool treeOk = true;
            EXPECT_TRUE(DataFactory::getEDSCityTree(&treeOk).isEmpty());
            EXPECT_FALSE(treeOk);
            EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::Files).isEmpty());
        }
    }
}
