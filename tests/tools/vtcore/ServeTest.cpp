// vtcore serve end to end: the program runs as a child process on a free port of 127.0.0.1 over
// depositories downloaded from the grid source, and is asked over raw HTTP/1.1 (hostile paths must
// reach it unchanged, which ordinary clients prevent); every test ends with SIGTERM and expects a
// clean exit.
#include "VtcoreTestSupport.h"

#include "tools/vtcore/GridTile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QSet>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>
#include <vector>

using namespace VtTest;

namespace {

constexpr int kWaitMs = 30000;

// A grid depository over the test region; empty when the download failed.
QString GridDepository(const QString& dir, const QString& name, const QString& levels) {
    const QString idx = dir + "/" + name + ".idx";
    return RunTool({"download", idx, "--extent", kBeijing, "--levels", levels, "--quiet"}).code == VtCli::kExitOk ? idx : QString();
}

struct Reply { int status = 0; QMap<QByteArray, QByteArray> headers; QByteArray body; };  // header names in lower case

// One keep-alive connection that sends requests byte for byte as given.
class CRawClient {
public:
    explicit CRawClient(quint16 port) {
        m_socket.connectToHost("127.0.0.1", port);
        m_socket.waitForConnected(kWaitMs);
    }
    // status 0: no (complete) answer.
    Reply Raw(const QByteArray& request, bool head = false) {
        Reply r;
        m_socket.write(request);  // sent while waiting for the answer
        QByteArray in;
        int end = -1;
        while ((end = in.indexOf("\r\n\r\n")) < 0) {
            if (!m_socket.waitForReadyRead(kWaitMs)) return r;
            in += m_socket.readAll();
        }
        const QList<QByteArray> lines = in.left(end).split('\n');
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines[i].indexOf(':');
            r.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        const int length = head ? 0 : r.headers.value("content-length", "0").toInt();
        QByteArray body = in.mid(end + 4);
        while (body.size() < length) {
            if (!m_socket.waitForReadyRead(kWaitMs)) return r;
            body += m_socket.readAll();
        }
        r.body = body.left(length);
        r.status = lines[0].split(' ').value(1).toInt();
        return r;
    }
    Reply Get(const QByteArray& target, const QByteArray& extraHeaders = QByteArray()) {
        return Raw("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders + "\r\n");
    }

private:
    QTcpSocket m_socket;
};

// `vtcore serve` as a child process on a port of its own choosing.
class CServer {
public:
    explicit CServer(const QStringList& depositories, const QStringList& extra = {})
        : m_process(StartVtcore(QStringList{"serve"} + depositories + QStringList{"--port", "0"} + extra)) {
        QElapsedTimer waited;
        waited.start();
        while (m_port == 0 && waited.elapsed() < kWaitMs && m_process->waitForReadyRead(kWaitMs)) {
            const QByteArray out = Output();
            const int at = out.indexOf("listening  http://127.0.0.1:");
            const int end = out.indexOf("/\n", at);
            if (at >= 0 && end > at) m_port = quint16(out.mid(at + 28, end - at - 28).toUInt());
        }
    }
    ~CServer() {
        m_process->kill();
        m_process->waitForFinished(kWaitMs);
    }
    quint16 Port() const { return m_port; }
    // Everything the server printed so far (start-up lines and the request log).
    QByteArray Output() { return m_out += m_process->readAllStandardOutput(); }
    bool WaitForLog(const QByteArray& part) {
        return WaitFor([&] { return Output().contains(part) || (m_process->waitForReadyRead(200), false); });
    }
    // SIGTERM; true when the server then stops on its own with code 0.
    bool Terminate() {
        if (m_process->state() != QProcess::Running || ::kill(pid_t(m_process->processId()), SIGTERM) != 0) return false;
        if (!m_process->waitForFinished(kWaitMs)) return false;
        return m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0 && Output().contains("stopped");
    }
    QByteArray Errors() { return m_process->readAllStandardError(); }

private:
    std::unique_ptr<QProcess> m_process;
    QByteArray m_out;
    quint16 m_port = 0;
};

QByteArray TilePath(const char* name, const Key& k) {
    return QStringLiteral("/%1/%2/%3/%4.png").arg(name).arg(std::get<0>(k)).arg(std::get<1>(k)).arg(std::get<2>(k)).toLatin1();
}

}  // namespace

// One server over a depository with tiles missing in every way, a copy whose data file header is
// broken and one whose data file lost its end: tiles, revalidation, TileJSON, slot states and the
// viewer first, then hostile requests, the damaged copies, and writes while serving.
TEST(Serve, TilesStatesTileJsonHostileRequestsDamageAndWritesWhileServing) {
    QTemporaryDir dir;
    const QString idx = GridDepository(dir.path(), "d", "3,5,11-12");
    ASSERT_FALSE(idx.isEmpty());
    // Missing tiles of every kind at the deepest level, and a tile written twice (the second copy
    // must be served).
    const QMap<Key, long long> slotOf = ReadSlots(idx).numbers;
    const auto keys = slotOf.keys();
    ASSERT_GT(keys.size(), 8);
    const Key waiting = keys.at(keys.size() - 2), failed = keys.at(keys.size() - 3);
    const Key damaged = keys.at(keys.size() - 4), rewritten = keys.at(keys.size() - 5);
    ASSERT_TRUE(EditDepository(idx, [&](CIdxFileDepository& dep) {
        return dep.SetFileIndexStatus(slotOf[waiting], BLOCK_WAITING, true) &&
               dep.SetFileIndexStatus(slotOf[failed], BLOCK_EMPTY, true) &&
               dep.SetFileIndexStatus(slotOf[damaged], BLOCK_DAMAGED, true) &&
               WriteTile(dep, slotOf[rewritten], VtCli::RenderGridTile(0, 1, 2));
    }));
    const TileMap tiles = ReadSlots(idx).tiles;
    ASSERT_EQ(tiles.size(), slotOf.size() - 3);
    ASSERT_EQ(tiles.value(rewritten), VtCli::RenderGridTile(0, 1, 2));
    const QString dat = dir.filePath("d.dat");
    for (const char* name : {"broken", "cut"}) {
        ASSERT_TRUE(QFile::copy(idx, dir.filePath(name + QStringLiteral(".idx"))) && QFile::copy(dat, dir.filePath(name + QStringLiteral(".dat"))));
    }
    {
        QFile broken(dir.filePath("broken.dat"));
        ASSERT_TRUE(broken.open(QIODevice::ReadWrite) && broken.write(QByteArray(100, 'x')) == 100);
        // Written again, the first tile lies at the data file's end; then the end is lost.
        ASSERT_TRUE(EditDepository(dir.filePath("cut.idx"), [&](CIdxFileDepository& dep) {
            return WriteTile(dep, slotOf[keys.first()], VtCli::RenderGridTile(0, 0, 0));
        }));
        ASSERT_TRUE(QFile(dir.filePath("cut.dat")).resize(QFileInfo(dir.filePath("cut.dat")).size() - 10));
    }
    // A file beside the depositories that no request may reach.
    ASSERT_TRUE(WriteFile(dir.filePath("secret.txt"), "secret"));
    CServer server({idx, dir.filePath("broken.idx"), dir.filePath("cut.idx")});
    ASSERT_NE(server.Port(), 0) << server.Output().constData() << server.Errors().constData();
    CRawClient client(server.Port());
    // Every stored tile, byte for byte, over one keep-alive connection.
    for (auto it = tiles.begin(); it != tiles.end(); ++it) {
        const Reply r = client.Get(TilePath("d", it.key()));
        ASSERT_EQ(r.status, 200) << TilePath("d", it.key()).constData();
        EXPECT_EQ(r.body, it.value());
        EXPECT_EQ(r.headers.value("content-type"), "image/png");
    }
    // Revalidation: the tag of an unchanged tile gives 304, a stale one the tile.
    const QByteArray first = TilePath("d", tiles.firstKey());
    const Reply firstReply = client.Get(first);
    const QByteArray etag = firstReply.headers.value("etag");
    ASSERT_FALSE(etag.isEmpty());
    for (const QByteArray& tag : {etag, "W/" + etag, QByteArray("*")})
        EXPECT_EQ(client.Get(first, "If-None-Match: " + tag + "\r\n").status, 304) << tag.constData();
    EXPECT_EQ(client.Get(first, "If-None-Match: \"stale\"\r\n").status, 200);
    const Reply head = client.Raw("HEAD " + first + " HTTP/1.1\r\nHost: x\r\n\r\n", true);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.headers.value("content-length").toInt(), firstReply.body.size());
    // Missing tiles: 404 naming the slot state, or what ?empty= asks for.
    const std::pair<Key, QByteArray> missing[] = {
        {waiting, "waiting"},                        // never fetched
        {failed, "failed"},                          // tried, no tile
        {damaged, "damaged"},                        // marked by verify --repair
        {std::make_tuple(3, 6, 3), "outside"},       // level 4 is not selected
        {std::make_tuple(5, 0, 0), "no-slot"},       // outside the extent
        {std::make_tuple(std::get<0>(waiting), std::get<1>(waiting), 0), "no-slot"},  // a column of the level, far north
        {std::make_tuple(std::get<0>(waiting), 0, std::get<2>(waiting)), "no-slot"},  // a row of the level, far west
        {std::make_tuple(12, 3000, 1500), "no-slot"},  // deeper than the depository
    };
    for (const auto& [key, state] : missing) {
        SCOPED_TRACE(TilePath("d", key).constData());
        const Reply r = client.Get(TilePath("d", key));
        EXPECT_EQ(r.status, 404);
        EXPECT_EQ(r.headers.value("x-tile-state"), state);
    }
    EXPECT_EQ(client.Get(TilePath("d", waiting) + "?empty=204").status, 204);
    const Reply transparent = client.Get(TilePath("d", waiting) + "?empty=png");
    EXPECT_EQ(transparent.status, 200);
    const QImage blank = QImage::fromData(transparent.body, "PNG");
    EXPECT_EQ(blank.size(), QSize(256, 256));
    EXPECT_EQ(qAlpha(blank.pixel(128, 128)), 0);
    // TileJSON: the zooms of the selected levels, a template that leads to the same tiles, bounds
    // around the depository's extent.
    const Reply tj = client.Get("/d/tiles.json");
    ASSERT_EQ(tj.status, 200);
    const QJsonObject o = QJsonDocument::fromJson(tj.body).object();
    EXPECT_EQ(o.value("tilejson").toString(), "3.0.0");
    EXPECT_EQ(o.value("minzoom").toInt(), 2);
    EXPECT_EQ(o.value("maxzoom").toInt(), 11);
    const QJsonArray bounds = o.value("bounds").toArray();
    ASSERT_EQ(bounds.size(), 4);
    EXPECT_NEAR(bounds[0].toDouble(), 116.2, 0.01);
    EXPECT_NEAR(bounds[3].toDouble(), 40.1, 0.01);
    const auto [pz, px, py] = tiles.lastKey();
    QString url = o.value("tiles").toArray().at(0).toString();
    url.replace("{z}", QString::number(pz)).replace("{x}", QString::number(px)).replace("{y}", QString::number(py));
    ASSERT_TRUE(url.startsWith("http://127.0.0.1/")) << qPrintable(url);
    EXPECT_EQ(client.Get(url.mid(16).toLatin1()).body, tiles.last());
    // Slot states of the deepest level's range and one column more, one character per tile,
    // against the depository's own reading.
    const auto states = ReadSlots(idx).states;
    const int z = std::get<0>(waiting);
    const int x0 = std::get<1>(states.lowerBound(std::make_tuple(z, 0, 0)).key()) - 1, x1 = std::get<1>(states.lastKey());
    const int y0 = std::get<2>(states.lowerBound(std::make_tuple(z, 0, 0)).key()), y1 = std::get<2>(states.lastKey());
    const Reply sr = client.Get(QStringLiteral("/d/states?z=%1&x0=%2&y0=%3&x1=%4&y1=%5")
                                    .arg(z).arg(x0).arg(y0).arg(x1).arg(y1).toLatin1());
    ASSERT_EQ(sr.status, 200);
    QString expected;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const auto k = std::make_tuple(z, x, y);
            expected += states.contains(k) ? QChar('0' + states.value(k)) : QChar('-');
        }
    EXPECT_EQ(QJsonDocument::fromJson(sr.body).object().value("states").toString(), expected);
    EXPECT_TRUE(expected.contains('1') && expected.contains('0') && expected.contains('3') && expected.contains('-'));
    // The index page links the viewer; the viewer's files are embedded.
    EXPECT_TRUE(client.Get("/").body.contains("href=\"/d/\""));
    const Reply redirect = client.Get("/d");
    EXPECT_EQ(redirect.status, 301);
    EXPECT_EQ(redirect.headers.value("location"), "/d/");
    EXPECT_TRUE(client.Get("/d/").body.contains("viewer.js"));
    EXPECT_EQ(client.Get("/_static/vendor/leaflet/leaflet.js").status, 200);
    const auto get = [](const QByteArray& target) { return "GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n"; };
    const std::pair<QByteArray, int> rows[] = {
        {get("/../secret.txt"), 400},                      // plain traversal
        {get("/d/%2e%2e/%2E%2E/secret.txt"), 400},         // encoded dots
        {get("/d/..%2fsecret.txt"), 400},                  // encoded slash
        {get("/_static/..%5c..%5csecret.txt"), 400},       // encoded backslash
        {get("/secret.txt"), 404},                         // not a served name
        {get("/d/secret.txt"), 404},
        {get("/d%00/0/0/0.png"), 400},                     // NUL in a name
        {get("/d/" + QByteArray(6000, 'a')), 414},         // very long target
        {"GET / HTTP/1.1\r\nHost: x\r\nX: " + QByteArray(20000, 'b') + "\r\n\r\n", 431},  // huge head
        {"GET /" + QByteArray(20000, 'a'), 414},           // no line end at all
        {"GET / HTTP/1.1\r\nHost: x\r\nX: " + QByteArray(20000, 'b'), 431},  // a huge head without its end
        // One-letter header names and both ends of the letter and digit ranges are fine.
        {"GET /d/0/0/0.png HTTP/1.1\r\nHost: x\r\nX: y\r\nAZaz-09: y\r\n\r\n", 404},
        {get("/d/a/0/0.png"), 400},                        // not a number
        {get("/d/0/-1/0.png"), 400},                       // negative
        {get("/d/0/0/+0.png"), 400},                       // signed
        {get("/d/0/99999999999/0.png"), 400},              // overflows an int
        {get("/d/99/0/0.png"), 404},                       // zoom beyond every level
        {get("/d/11/999999999/1000.png"), 404},            // column beyond the level
        {get("/d/0/0/0.png?empty=maybe"), 400},            // unknown empty= value
        {get("/d/states?z=1&x0=0&y0=0&x1=999999&y1=999999"), 400},  // huge range
        {get("/d/states?z=1&x0=5&y0=0&x1=1&y1=0"), 400},   // inverted range
        {"POST /d/0/0/0.png HTTP/1.1\r\nHost: x\r\nContent-Length: 4\r\n\r\nabcd", 400},  // a body
        {"DELETE /d/0/0/0.png HTTP/1.1\r\nHost: x\r\n\r\n", 405},  // not a reading method
        {"GET /d/0/0/0.png HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n", 501},
        {"GET /d/0/0/0.png HTTP/1.1\r\nHost: x\r\nBad Name: y\r\n\r\n", 400},  // blank in a header name
        {"GET / HTTP/2.0\r\nHost: x\r\n\r\n", 505},        // unknown version
        {"GET / HTTP/1.1\r\n\r\n", 400},                   // no Host
        {"\x01\x02\x03 garbage\r\n\r\n", 400},             // not HTTP at all
        {get("http://example.org/"), 400},                 // proxy form
    };
    for (const auto& [request, status] : rows) {
        SCOPED_TRACE(request.left(60).constData());
        const Reply r = CRawClient(server.Port()).Raw(request);
        EXPECT_EQ(r.status, status);
        EXPECT_NE(r.body, "secret");
    }
    // A client that connects and goes away mid-request does not disturb the others.
    {
        QTcpSocket half;
        half.connectToHost("127.0.0.1", server.Port());
        ASSERT_TRUE(half.waitForConnected(kWaitMs));
        half.write("GET /d/0/0/0.png HTTP/1.1\r\nHo");
        half.waitForBytesWritten(kWaitMs);
    }
    CRawClient after(server.Port());
    const QByteArray stored = TilePath("d", tiles.lastKey());
    EXPECT_EQ(after.Get(stored).status, 200);
    EXPECT_TRUE(server.Output().contains("unavailable")) << server.Output().constData();
    EXPECT_EQ(after.Get(TilePath("broken", tiles.lastKey())).status, 503);
    EXPECT_EQ(after.Get("/broken/tiles.json").status, 503);
    EXPECT_EQ(after.Get(TilePath("cut", keys.first())).status, 500);  // bytes past the end
    EXPECT_EQ(after.Get(TilePath("cut", tiles.lastKey())).status, 200);
    EXPECT_TRUE(after.Get("/").body.contains("unavailable"));
    // A download goes on while serving: a new tile is served at once, a new level once the
    // server has noticed it, and a repaired depository becomes available.
    const long long slot = slotOf[tiles.lastKey()];
    ASSERT_TRUE(EditDepository(idx, [&](CIdxFileDepository& dep) { return dep.SetFileIndexStatus(slot, BLOCK_WAITING, true); }));
    EXPECT_EQ(after.Get(stored).status, 404);
    const QByteArray png = VtCli::RenderGridTile(9, 9, 9);
    ASSERT_TRUE(EditDepository(idx, [&](CIdxFileDepository& dep) { return WriteTile(dep, slot, png) && dep.ExpandLevelTo(14, nullptr); }));
    EXPECT_EQ(after.Get(stored).body, png);
    ASSERT_TRUE(QFile::remove(dir.filePath("broken.dat")) && QFile::copy(dat, dir.filePath("broken.dat")));
    EXPECT_TRUE(WaitFor([&] {
        QThread::msleep(100);
        return QJsonDocument::fromJson(after.Get("/d/tiles.json").body).object().value("maxzoom").toInt() == 13 &&
               after.Get("/broken/tiles.json").status == 200;
    }));
    // Another program cuts a served index and puts it back: its tiles are missing meanwhile, and
    // the server stays up.
    QFile cutIndex(dir.filePath("cut.idx"));
    ASSERT_TRUE(cutIndex.open(QIODevice::ReadWrite));
    const QByteArray whole = cutIndex.readAll();
    ASSERT_TRUE(cutIndex.resize(0));
    EXPECT_EQ(after.Get(TilePath("cut", tiles.lastKey())).status, 404);
    ASSERT_TRUE(cutIndex.seek(0) && cutIndex.write(whole) == whole.size() && cutIndex.flush());
    EXPECT_EQ(after.Get(TilePath("cut", tiles.lastKey())).status, 200);
    EXPECT_TRUE(server.Terminate()) << server.Errors().constData();
}

TEST(Serve, ManyClientsReadWholeTilesWhileTheyAreRewritten) {
    QTemporaryDir dir;
    const QString idx = GridDepository(dir.path(), "busy", "11-12");
    ASSERT_FALSE(idx.isEmpty());
    const QMap<Key, long long> slotOf = ReadSlots(idx).numbers;
    const auto keys = slotOf.keys();
    // Every version a tile may have: the first one and one per rewrite round.
    constexpr int kRounds = 6;
    auto version = [](const Key& k, int round) { return VtCli::RenderGridTile(std::get<0>(k), std::get<1>(k) + 10000 * round, std::get<2>(k)); };
    QMap<Key, QSet<QByteArray>> versions;
    for (const auto& k : keys)
        for (int round = 0; round <= kRounds; ++round) versions[k].insert(version(k, round));
    CServer server({idx}, {"--quiet", "--threads", "4"});
    ASSERT_NE(server.Port(), 0) << server.Errors().constData();
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        EditDepository(idx, [&](CIdxFileDepository& dep) {
            for (int round = 1; round <= kRounds; ++round)
                for (const auto& k : keys) WriteTile(dep, slotOf[k], version(k, round));
            return true;
        });
        writing = false;
    });
    // Each client: whole tiles of some version, and one tag never names two different tiles.
    constexpr int kClients = 12;
    QMutex mutex;
    QMap<QByteArray, QByteArray> bodyOfTag;
    std::atomic<int> served{0}, wrong{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c)
        clients.emplace_back([&, c] {
            CRawClient client(server.Port());
            for (int i = 0; writing || i < 2 * keys.size(); ++i) {
                const auto& k = keys.at((c * 7 + i) % keys.size());
                const Reply r = client.Get(TilePath("busy", k));
                if (r.status != 200 || !versions.value(k).contains(r.body)) {
                    ++wrong;
                    return;
                }
                ++served;
                QMutexLocker lock(&mutex);
                const QByteArray tag = r.headers.value("etag");
                if (bodyOfTag.contains(tag) && bodyOfTag.value(tag) != r.body) ++wrong;
                bodyOfTag.insert(tag, r.body);
            }
        });
    writer.join();
    for (std::thread& t : clients) t.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_GE(served, kClients * 2 * keys.size());
    EXPECT_GT(bodyOfTag.size(), keys.size());  // rewritten tiles were seen with new tags
    EXPECT_TRUE(server.Terminate()) << server.Errors().constData();
}

TEST(Serve, ChromiumDrawsTheViewersTiles) {
    const QString chromium = "/usr/bin/chromium";
    if (!QFileInfo(chromium).isExecutable())
        GTEST_SKIP() << "chromium is not installed (scripts/install-deps.sh installs it)";
    QTemporaryDir dir;
    const QString idx = GridDepository(dir.path(), "view", "9-12");
    ASSERT_FALSE(idx.isEmpty());
    // The colours the tiles are drawn in.
    QSet<QRgb> colours;
    for (const QByteArray& png : ReadSlots(idx).tiles) {
        const QImage tile = QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < tile.height(); y += 3)
            for (int x = 0; x < tile.width(); x += 3) colours.insert(tile.pixel(x, y));
    }
    CServer server({idx});
    ASSERT_NE(server.Port(), 0) << server.Errors().constData();
    const QString shot = dir.filePath("shot.png");
    QProcess browser;
    browser.setProcessChannelMode(QProcess::MergedChannels);
    browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                             "--disable-background-networking", "--disable-component-update", "--disable-sync",
                             "--user-data-dir=" + dir.filePath("profile"), "--window-size=800,600",
                             "--virtual-time-budget=20000", "--screenshot=" + shot,
                             QStringLiteral("http://127.0.0.1:%1/view/").arg(server.Port())});
    if (!browser.waitForStarted(kWaitMs)) GTEST_SKIP() << "chromium cannot start: " << qPrintable(browser.errorString());
    ASSERT_TRUE(browser.waitForFinished(120000)) << browser.readAll().constData();
    ASSERT_TRUE(QFileInfo::exists(shot)) << browser.readAll().constData();
    // The request log shows the page, Leaflet, the TileJSON, the states and tiles.
    for (const char* line : {"GET /_static/vendor/leaflet/leaflet.js 200", "GET /view/tiles.json 200", "GET /view/states?"})
        EXPECT_TRUE(server.WaitForLog(line)) << line;
    EXPECT_TRUE(QRegularExpression("GET /view/\\d+/\\d+/\\d+\\.png 200").match(server.Output()).hasMatch())
        << server.Output().constData();
    // Tiles were drawn: a good part of the picture has exactly the colours of the tiles.
    const QImage image(shot);
    ASSERT_FALSE(image.isNull());
    long long tilePixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) tilePixels += colours.contains(image.pixel(x, y) | 0xff000000u);
    EXPECT_GT(tilePixels, (long long)image.width() * image.height() / 10)
        << "tile-coloured pixels: " << tilePixels << " of " << image.width() * image.height();
    EXPECT_TRUE(server.Terminate()) << server.Errors().constData();
}
