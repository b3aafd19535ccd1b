#include "tile/BaiduToConvert.h"

#include "catalog/MapSettingsLocation_p.h"
#include "catalog/MapTypeManager.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <utility>
#include <vector>

namespace {

const QByteArray kTestSettings = "[baidu]\n"
                                 "satelliteHost=http://sat{s}.test\n"
                                 "tileHost=http://tile{s}.test\n"
                                 "customImageHost=http://custom.test\n"
                                 "customImageServerHost=http://keyed{s}.test\n"
                                 "keyA=AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\n"
                                 "keyB=BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB\n"
                                 "keyC=0123456789abcdef0123456789abcdef\n";

// The URL builders against the test settings file in a temporary directory.
class BaiduUrl : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        SetMapSettingsDirectory(m_dir.path());
        CMapTypeManager::getInstance()->setCurMaptype(44);
        WriteSettings(kTestSettings);
    }
    void TearDown() override
    {
        CMapTypeManager::getInstance()->setCurMaptype(m_nSavedMapType);
        SetMapSettingsDirectory(QString());
    }
    void WriteSettings(const QByteArray& text)
    {
        QFile file(m_dir.filePath(QStringLiteral("baidu.ini")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    QTemporaryDir m_dir;
    const int m_nSavedMapType = CMapTypeManager::getInstance()->getCurMaptype();
};

// The URL with its server number written "N" ("http://tile3.test/..." -> "http://tileN.test/..."),
// the number in *server.
QString AnyServer(QString url, int* server = nullptr)
{
    const QRegularExpression re(QStringLiteral("^(http://[a-z]+)(\\d+)\\.test/"));
    if (server)
        *server = re.match(url).hasMatch() ? re.match(url).captured(2).toInt() : -1;
    return url.replace(re, QStringLiteral("\\1N.test/"));
}

}  // namespace

TEST(BaiduTileNumbers, GeneralTilesShiftIntoBaidusGrid)
{
    const int n = 78272, k = 52800;  // zoom 18
    const struct { int gx, gy, z; const char *bx, *by; } cases[] = {
        {2, 1, 1, "0", "0"}, {1, 1, 1, "-1", "0"}, {1, 2, 1, "-1", "-1"},  // zoom 1: both half-widths are 1, no shift
        {3, 1, 1, "", ""},                         // beyond the grid at a zoom without shift
        {131073, 131072, 18, "0", "0"}, {131072, 131073, 18, "-1", "-1"},  // either side of the meridian and equator
        {k + 1, k + 1, 18, "-78272", "78271"},     // the grid's north-west tile
        {2 * n + k, 2 * n + k, 18, "78271", "-78272"},  // and its south-east tile
        {k, k, 18, "M78273", "78272"},             // west and north of the grid: a tile the service lacks
        {2 * n + k + 1, 2 * n + k + 1, 18, "M78273", "78272"},  // east and south of it
        {131073, 1, 18, "0", "131071"},            // one axis inside is enough to shift
        {2 * n + k + 1, 5, 18, "", ""},            // ... and the shifted column then has no number
        {2 * n + k, 2 * n + k + 1, 18, "", ""},    // the last column inside with a row beyond
        {5, 2 * n + k + 1, 18, "", ""},            // ... nor the shifted row
    };
    for (const auto& c : cases) {
        QString bx, by;
        CBaiduToConvert::tileToBdTile(c.gx, c.gy, c.z, bx, by);
        EXPECT_EQ(bx + QLatin1Char(',') + by, QString::fromLatin1(c.bx) + QLatin1Char(',') + QString::fromLatin1(c.by))
            << c.gx << ", " << c.gy << " at " << c.z;
    }
    // Unshifted numbers with a negative one spelled "M" and its absolute value.
    QString bx, by;
    CBaiduToConvert::GeneralTileToBdTileXY(n, n + 3, 18, bx, by);
    EXPECT_EQ(bx + QLatin1Char(',') + by, QStringLiteral("M1,M3"));
    CBaiduToConvert::GeneralTileToBdTileXY(2 * n + 1, 5, 18, bx, by);  // beyond the grid: left alone
    EXPECT_EQ(bx + QLatin1Char(',') + by, QStringLiteral("M1,M3"));
    // Extreme numbers and zooms stay defined.
    CBaiduToConvert::tileToBdTile(2147483647, -2147483647 - 1, 40, bx, by);
    CBaiduToConvert::tileToBdTile(-2147483647 - 1, 2147483647, -3, bx, by);
}

TEST_F(BaiduUrl, BuildersFillTheirTemplatesAtLevelsWithUrlsAndServerNumbersFromManyThreads)
{
    using Builder = QString (*)(int, int, int);
    const Builder street = [](int x, int y, int z) { return CBaiduToConvert::GetElectronUrlFromTile(x, y, z, 0); };
    // General tile (131073, 131072) of level 19 is Baidu tile (0, 0) at zoom 18.
    const struct { Builder build; int x, y, z; const char* url; } cases[] = {
        {CBaiduToConvert::GetUrlFromTile, 131073, 131072, 19,
         "http://satN.test/starpic/?qt=satepc&u=x=0;y=0;z=18;v=009;type=sate&fm=46&app=webearth2&v=009&udt=20200709"},
        {CBaiduToConvert::GetLabelUrlFromTile, 131073, 131072, 19,
         "http://tileN.test/tile/?qt=vtile&x=0&y=0&z=18&styles=sl&udt=20200709"},
        {CBaiduToConvert::GetBIgLabelUrlFromTile, 1, 1, 2, "http://tileN.test/it/u=x=-1;y=0;z=1;type=web&fm=43"},
        {CBaiduToConvert::GetBIgElectronUrlFromTile, 2, 2, 2, "http://tileN.test/it/u=x=0;y=-1;z=1;type=web&fm=41"},
        {street, 2, 1, 2, "http://tileN.test/tile/?qt=vtile&x=0&y=0&z=1&styles=pl&scaler=1&udt=20191224"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AnyServer(c.build(c.x, c.y, c.z)), QString::fromLatin1(c.url));
        for (int level : {-1, 1, 22})  // levels without URLs
            EXPECT_TRUE(c.build(1, 1, level).isEmpty()) << c.url << " " << level;
    }
    for (int level : {-1, 1, 22})
        for (int style : {3, 12, 15, 40})
            EXPECT_TRUE(CBaiduToConvert::GetElectronUrlFromTile(1, 1, level, style).isEmpty()) << style;
    EXPECT_FALSE(CBaiduToConvert::GetUrlFromTile(1, 1, 21).isEmpty());
    EXPECT_TRUE(CBaiduToConvert::GetUrlFromTile(3, 1, 2).isEmpty());  // beyond the grid at zoom 1
    // A tile outside the grid at zoom 18 is still requested, under the column Baidu does not have.
    EXPECT_TRUE(CBaiduToConvert::GetLabelUrlFromTile(1, 1, 19).contains(QLatin1String("x=M78273&y=78272&z=18")));
    // Eight threads build URLs at once, the settings read by all of them; each kind of host takes its
    // own range of server numbers.
    std::vector<std::array<QSet<int>, 3>> seen(8);
    std::vector<std::thread> threads;
    for (auto& sets : seen) {
        threads.emplace_back([&sets] {
            int n = 0;
            for (int i = 0; i < 100; ++i) {
                AnyServer(CBaiduToConvert::GetUrlFromTile(5, 5, 5), &n), sets[0].insert(n);
                AnyServer(CBaiduToConvert::GetLabelUrlFromTile(5, 5, 5), &n), sets[1].insert(n);
                AnyServer(CBaiduToConvert::GetElectronUrlFromTile(5, 5, 5, 0), &n), sets[1].insert(n);
                AnyServer(CBaiduToConvert::GetElectronUrlFromTile(5, 5, 5, 13), &n), sets[2].insert(n);
                if (!CBaiduToConvert::GetElectronUrlFromTile(2, 1, 2, i % 17).startsWith("http://"))
                    sets[0].insert(-1);  // every style gives a URL
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (std::size_t t = 1; t < seen.size(); ++t)
        for (int k = 0; k < 3; ++k)
            seen[0][k] += seen[t][k];
    EXPECT_EQ(seen[0], (std::array<QSet<int>, 3>{{{1, 2, 3}, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 1, 2}}}));
}

TEST_F(BaiduUrl, StreetMapStylesAndHostsWithAndWithoutSettings)
{
    const auto url = [](int style) { return AnyServer(CBaiduToConvert::GetElectronUrlFromTile(2, 1, 2, style)); };
    const QString named =
        QStringLiteral("http://custom.test/customimage/tile?&x=0&y=0&z=1&udt=20191224&scale=1&customid=");
    EXPECT_EQ(url(1), named + "light");  // named styles 1..11: the ends of the name list
    EXPECT_EQ(url(11), named + "hardedge");
    const QString keyed = QStringLiteral("http://keyedN.test/customimage/tile?&x=0&y=0&z=1&udt=");
    // Each: the URL up to the style list, which must come percent-encoded, and its first decoded entry.
    const struct { int style; QString head; const char* first; } styles[] = {
        {12, keyed + "20180930&scale=1&ak=AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA&styles=", "t:all|e:all|l:10|s:-100"},
        {13, keyed + "20180930&scale=1&ak=BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB&styles=", "t:water|e:all|c:#021019"},
        {14, keyed + "20190528&scale=1&ak=0123456789abcdef0123456789abcdef&styles=", "t:poi|e:all|v:off"},
    };
    for (const auto& k : styles) {
        ASSERT_TRUE(url(k.style).startsWith(k.head)) << url(k.style).toStdString();
        const QString encoded = url(k.style).mid(k.head.size());
        EXPECT_FALSE(encoded.contains(QRegularExpression(QStringLiteral("[:|,#]")))) << k.style;
        EXPECT_EQ(QUrl::fromPercentEncoding(encoded.toLatin1()).split(QLatin1Char(',')).first(), k.first);
    }
    EXPECT_EQ(url(15), keyed + "20190521&scale=1&ak=0123456789abcdef0123456789abcdef");
    for (int style : {16, -1})
        EXPECT_EQ(url(style), keyed + "20190521&scale=1&customid=light") << style;
    // Without a settings file: the public hosts and no keys.
    ASSERT_TRUE(QFile::remove(m_dir.filePath(QStringLiteral("baidu.ini"))));
    const QString noKey = CBaiduToConvert::GetElectronUrlFromTile(2, 1, 2, 12);
    EXPECT_TRUE(noKey.contains(QRegularExpression(QStringLiteral("^http://api[0-2]\\.map\\.bdimg\\.com/"))))
        << noKey.toStdString();
    EXPECT_TRUE(noKey.contains(QLatin1String("&ak=&styles=")));
    EXPECT_TRUE(CBaiduToConvert::GetUrlFromTile(2, 1, 2).startsWith(QLatin1String("http://maponline")));
    EXPECT_TRUE(CBaiduToConvert::GetElectronUrlFromTile(2, 1, 2, 15).endsWith(QLatin1String("&ak=")));
    // Settings written later are picked up; percent signs and placeholders in a key stay as written,
    // and a host without "{s}" takes no server number.
    WriteSettings("[baidu]\nkeyC=\"%1%2%s,x\"\ncustomImageServerHost=http://fixed.test\n");
    EXPECT_EQ(CBaiduToConvert::GetElectronUrlFromTile(2, 1, 2, 15),
              QStringLiteral("http://fixed.test/customimage/tile?&x=0&y=0&z=1&udt=20190521&scale=1&ak=%1%2%s,x"));
    // While the application shows one of the plain street-map types, every style is the plain one.
    for (int mapType : {45, 205, 207}) {
        CMapTypeManager::getInstance()->setCurMaptype(mapType);
        EXPECT_TRUE(url(3).contains(QLatin1String("styles=pl"))) << mapType;
    }
}
