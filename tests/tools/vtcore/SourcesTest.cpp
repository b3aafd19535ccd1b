// The tile sources other than the grid and plain HTTP: polygon regions, file templates, custom
// maps of a catalogue file and Baidu's builders pointed at a local server.
#include "LocalTileServer.h"
#include "VtcoreTestSupport.h"

#include "catalog/CustomMapManager.h"
#include "catalog/MapSettingsLocation_p.h"
#include "tile/BaiduToConvert.h"
#include "tile/RegionTileEnumerator.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace VtTest;

namespace {

struct Sources : ::testing::Test {
    QString Write(const QString& name, const QByteArray& bytes) {
        EXPECT_TRUE(WriteFile(m_dir.filePath(name), bytes));
        return m_dir.filePath(name);
    }
    QTemporaryDir m_dir;
};

}  // namespace

TEST_F(Sources, PolygonRegionFetchesExactlyTheTilesThatMeetIt) {
    const QString geojson = Write("triangle.geojson", R"({"type":"Feature","geometry":{"type":"Polygon","coordinates":[[[100,20],[130,25],[105,50],[100,20]]]}})");
    const QString idx = m_dir.filePath("tri.idx");
    const RunResult r = RunTool({"download", idx, "--geojson", geojson, "--levels", "3-8", "--quiet"});
    ASSERT_EQ(r.code, VtCli::kExitOk) << qPrintable(r.out + r.err);
    const QList<QPolygonF> polygons = {QPolygonF({QPointF(100, 20), QPointF(130, 25), QPointF(105, 50)})};
    QSet<QString> inside;
    for (int level = 3; level <= 8; ++level) {
        CRegionTileEnumerator tiles(polygons, level, 602);  // the default map type
        CTileKey key;
        while (tiles.Next(key))
            inside.insert(QStringLiteral("%1/%2/%3").arg(key.GetLevel()).arg(key.GetTileX()).arg(key.GetTileY()));
    }
    const auto states = ReadSlots(idx).states;
    int outside = 0;
    for (auto it = states.begin(); it != states.end(); ++it) {
        const auto [z, x, y] = it.key();
        const bool in = inside.contains(QStringLiteral("%1/%2/%3").arg(z).arg(x).arg(y));
        EXPECT_EQ(it.value(), in ? BLOCK_HAS_DATA : BLOCK_SKIPPED_LEVEL) << z << "/" << x << "/" << y;
        outside += !in;
    }
    EXPECT_GT(outside, 0) << "the triangle leaves corners of its bounding box out";
    EXPECT_EQ(ReadSlots(idx).tiles.size(), inside.size());
    // plan counts the same tiles; the task row keeps the polygon.
    const RunResult plan = RunTool({"plan", "--geojson", geojson, "--levels", "3-8", "--json"});
    ASSERT_EQ(plan.code, VtCli::kExitOk);
    EXPECT_EQ(QJsonDocument::fromJson(plan.out.toUtf8()).object().value("totalTiles").toInt(), inside.size());
    const QList<DownloadTask> rows = TaskRows(m_dir.path());
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].rangetype, 1);
    ASSERT_EQ(rows[0].rangepoints.size(), 1);
    EXPECT_EQ(rows[0].rangepoints[0], polygons[0]);
    // Tiles outside stay outside when the download is resumed, and verify accepts them.
    const RunResult again = RunTool({"download", idx, "--quiet"});
    EXPECT_TRUE(again.out.contains("(0 fetched now")) << qPrintable(again.out);
    EXPECT_EQ(RunTool({"verify", idx}).code, VtCli::kExitOk);
}

TEST_F(Sources, CustomMapsOfACatalogueFileGiveUrlRefererMapTypeAndDatum) {
    CLocalTileServer server;
    const QString catalogue = m_dir.filePath("MyMap.bin");
    {
        CCustomMapManager maps(catalogue);
        CCustomMapInfo info(7);
        info.SetMapUrl(server.UrlTemplate().toStdString());
        info.SetInfoReferer("https://custom.example.test/");
        info.SetIsWGS84(false);
        maps.insert(5, CCustomMapObj(info));
        info.SetIsOffset(true);  // GCJ-02
        maps.insert(3, CCustomMapObj(info));
        ASSERT_TRUE(maps.Save());
    }
    const QByteArray saved = FileBytes(catalogue);
    const QString idx = m_dir.filePath("custom.idx");
    const QStringList args = {"download", idx, "--custom-maps", catalogue, "--extent", "100,20,120,40", "--levels", "1-5", "--quiet", "--source"};
    RunResult r = RunTool(args + QStringList{"custom:5"});
    ASSERT_EQ(r.code, VtCli::kExitOk) << qPrintable(r.out + r.err);
    EXPECT_TRUE(r.out.contains("map type   602")) << qPrintable(r.out);
    EXPECT_TRUE(server.Heads().last().toLower().contains("\r\nreferer: https://custom.example.test/"));
    const TileMap tiles = ReadSlots(idx).tiles;
    ASSERT_FALSE(tiles.isEmpty());
    for (auto it = tiles.begin(); it != tiles.end(); ++it) EXPECT_EQ(it.value(), std::apply(CLocalTileServer::TileBytes, it.key()));
    // The catalogue is only read. Refused before anything is created: a catalogue the tool cannot
    // decode (left as it was), an absent key, an absent catalogue.
    EXPECT_EQ(FileBytes(catalogue), saved);
    const QString garbage = Write("garbage.bin", "not a catalogue"), other = m_dir.filePath("other.idx");
    for (const auto& [maps, key] : {std::make_pair(garbage, QString("custom:5")), std::make_pair(catalogue, QString("custom:6")),
                                    std::make_pair(m_dir.filePath("absent.bin"), QString("custom:5"))})
        EXPECT_EQ(RunTool({"download", other, "--custom-maps", maps, "--extent", kBeijing, "--levels", "1-5", "--source", key}).code,
                  VtCli::kExitError) << qPrintable(maps + key);
    EXPECT_EQ(FileBytes(garbage), QByteArray("not a catalogue"));
    EXPECT_FALSE(QFile::exists(other));
    // plan takes the scheme and the datum of a custom map: GCJ-02 lies a few hundred metres east
    // and north of WGS84 around Beijing.
    const QStringList plan = {"plan", "--extent", kBeijing, "--levels", "10", "--json"};
    const QJsonObject plain = QJsonDocument::fromJson(RunTool(plan).out.toUtf8()).object();
    const QJsonObject custom =
        QJsonDocument::fromJson(RunTool(plan + QStringList{"--custom-maps", catalogue, "--source", "custom:3"}).out.toUtf8()).object();
    EXPECT_EQ(custom.value("mapType").toInt(), 602);
    EXPECT_GT(custom.value("extent")[0].toDouble(), plain.value("extent")[0].toDouble() + 0.002);
    EXPECT_GT(custom.value("extent")[1].toDouble(), plain.value("extent")[1].toDouble() + 0.0005);
    EXPECT_EQ(RunTool(plan + QStringList{"--custom-maps", catalogue, "--source", "custom:4"}).code, VtCli::kExitError);
}

TEST_F(Sources, BaiduBuildersNameTheBaiduTileOfEveryGeneralTile) {
    CLocalTileServer server([](int, int, int, int) { return TileReply(); });  // serves any path
    SetMapSettingsDirectory(m_dir.path());
    Write("baidu.ini", QStringLiteral("[baidu]\nsatelliteHost=http://127.0.0.1:%1\n").arg(server.Port()).toUtf8());
    const QString idx = m_dir.filePath("baidu.idx");
    const RunResult r = RunTool({"download", idx, "--source", "baidu", "--map-type", "44", "--extent", kBeijing, "--levels", "4-11", "--quiet"});
    EXPECT_EQ(r.code, VtCli::kExitOk) << qPrintable(r.out + r.err);
    // Each stored general tile was asked for under its Baidu tile's URL, and nothing else was.
    const TileMap tiles = ReadSlots(idx).tiles;
    EXPECT_GT(tiles.size(), 6);
    QSet<QByteArray> expected;
    for (auto it = tiles.begin(); it != tiles.end(); ++it) {
        const auto [z, x, y] = it.key();
        const QUrl url(CBaiduToConvert::GetUrlFromTile(x + 1, y + 1, z + 1));
        expected.insert(url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority));
    }
    SetMapSettingsDirectory(QString());
    QSet<QByteArray> asked;
    for (const QByteArray& head : server.Heads()) asked.insert(head.split(' ').value(1));
    EXPECT_EQ(asked, expected);
}

TEST_F(Sources, QuadkeyTmsRowAndSubdomainTemplatesFetchEachTileFromItsOwnUrl) {
    // The server maps each form's third number back to its tile and serves that tile's bytes, so a
    // wrong expansion stores another tile's bytes.
    using Back = std::function<Key(int z, int x, int n)>;
    const Back quadkey = [](int z, int, int n) {
        int x = 0, y = 0;
        for (QChar c : QString::number(n).rightJustified(z, '0')) {
            x = x * 2 + (c.digitValue() & 1);
            y = y * 2 + (c.digitValue() >> 1);
        }
        return Key{z, x, y};
    };
    // path: after http://<host>:<port>; subdomains: for {s}, in place of the host.
    struct Row { const char *path, *subdomains; Back back; };
    const Row rows[] = {
        {"/{z}/{x}/{q}.png", nullptr, quadkey},  // the quadkey stands where the row would
        {"/{z}/{x}/{quadkey}.png", nullptr, quadkey},
        {"/{z}/{x}/{-y}.png", nullptr, [](int z, int x, int y) { return Key{z, x, (1 << z) - 1 - y}; }},  // TMS: from the south
        // Two names of this host: both are used, each tile's bytes still arrive.
        {"/{z}/{x}/{y}.png", "127.0.0.1,localhost", [](int z, int x, int y) { return Key{z, x, y}; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        CLocalTileServer server([&](int z, int x, int n, int) {
            TileReply r{z < 0 ? 404 : 200};
            r.body = std::apply(CLocalTileServer::TileBytes, z < 0 ? Key{0, 0, 0} : row.back(z, x, n));
            return r;
        });
        const QString idx = m_dir.filePath(QStringLiteral("forms%1.idx").arg(&row - rows));
        const QString host = row.subdomains ? "{s}" : "127.0.0.1";
        QStringList args = {"download", idx, "--source", QStringLiteral("http://%1:%2%3").arg(host).arg(server.Port()).arg(row.path),
                            "--extent", "100,20,120,40", "--levels", "2-6", "--quiet"};
        if (row.subdomains) args << "--subdomains" << row.subdomains;
        const RunResult r = RunTool(args);
        ASSERT_EQ(r.code, VtCli::kExitOk) << qPrintable(r.out + r.err);
        const TileMap tiles = ReadSlots(idx).tiles;
        ASSERT_EQ(tiles.size(), ReadSlots(idx).states.size());
        for (auto it = tiles.begin(); it != tiles.end(); ++it) EXPECT_EQ(it.value(), std::apply(CLocalTileServer::TileBytes, it.key()));
        // Both names of the host are used, and only with {s}.
        const QByteArray heads = server.Heads().join("\r\n").toLower() + "\r\n";
        for (const char* name : {"127.0.0.1:", "localhost:"})
            EXPECT_EQ(heads.contains(QByteArray("\r\nhost: ") + name + QByteArray::number(server.Port()) + "\r\n"), row.subdomains || *name == '1') << name;
    }
}
