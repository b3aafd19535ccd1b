// vtcore serve end to end: the program runs as a child process on a free port of 127.0.0.1 and is
// asked over raw HTTP/1.1 (hostile paths must reach it unchanged, which ordinary clients prevent);
// every test ends with SIGTERM and expects a clean exit.
#include "VtcoreTestSupport.h"

#include "storage/IdxFileDepository.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMutex>
#include <QMutexLocker>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
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
#include <sys/types.h>

using namespace VtTest;

namespace {

constexpr int kWaitMs = 30000;

// The colour of a test tile: saturated and different for neighbours, so that a screenshot shows
// whether tiles were drawn.
QRgb TileColour(int z, int x, int y) { return QColor::fromHsv((z * 53 + x * 97 + y * 31) % 360, 230, 230).rgb(); }

QByteArray SolidPng(QRgb colour) {
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A Web Mercator depository around Beijing with every tile of `levels` stored as a solid PNG.
// Returns the index path; the slot of each tile in `slotOf` ((zoom, x, y) -> slot).
QString MakeDepository(const QString& dir, const QString& name, const QList<int>& levels,
                       QMap<std::tuple<int, int, int>, long long>* slotOf = nullptr) {
    const QString idx = dir + QLatin1Char('/') + name + QStringLiteral(".idx");
    STRUCT_DOWNLOAD_TASK task;
    task.level = levels;
    task.extent = EXTENT{115.7, 39.4, 117.4, 41.1};
    task.maptype = 602;
    CIdxFileDepository dep;
    dep.SetIndexFile(idx.toStdString());
    if (!dep.Create(task, true, nullptr, BLOCK_WAITING) || !dep.Open(false)) return QString();
    const CDatIndexConvert& conv = dep.GetIndexConverter();
    for (int level : levels) {
        CTileKey minKey;
        CTileKey maxKey;
        conv.GetTileBound(minKey, maxKey, level);
        const long long first = conv.GetTileNumberUtilLevel(level - 1) + 1;
        const int cols = maxKey.GetTileX() - minKey.GetTileX() + 1;
        for (long long i = 0; i < conv.GetTileNumber(level); ++i) {
            const int x = minKey.GetTileX() + int(i % cols);
            const int y = minKey.GetTileY() + int(i / cols);
            QByteArray png = SolidPng(TileColour(level - 1, x, y));
            if (!dep.WriteBuffer(first + i, reinterpret_cast<unsigned char*>(png.data()), png.size(), true))
                return QString();
            if (slotOf) slotOf->insert(std::make_tuple(level - 1, x, y), first + i);
        }
    }
    return idx;
}

struct Reply {
    int status = 0;
    QMap<QByteArray, QByteArray> headers;  // lower-case names
    QByteArray body;
};

// One keep-alive connection that sends requests byte for byte as given.
class CRawClient {
public:
    explicit CRawClient(quint16 port) {
        m_socket.connectToHost("127.0.0.1", port);
        m_socket.waitForConnected(kWaitMs);
    }
    bool Connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    // status 0: no (complete) answer.
    Reply Raw(const QByteArray& request, bool head = false) {
        Reply r;
        m_socket.write(request);
        if (!m_socket.waitForBytesWritten(kWaitMs) && m_socket.bytesToWrite() > 0) return r;
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
    explicit CServer(const QStringList& depositories, const QStringList& extra = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral(VT_VTCORE_PROGRAM),
                        QStringList{"serve"} + depositories +
                            QStringList{"--port", "0"} + extra);
        QElapsedTimer waited;
        waited.start();
        while (m_port == 0 && waited.elapsed() < kWaitMs && m_process.waitForReadyRead(kWaitMs)) {
            m_out += m_process.readAllStandardOutput();
            const int at = m_out.indexOf("listening  http://127.0.0.1:");
            const int end = m_out.indexOf("/\n", at);
            if (at >= 0 && end > at) m_port = quint16(m_out.mid(at + 28, end - at - 28).toUInt());
        }
    }
    ~CServer() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kWaitMs);
        }
    }
    quint16 Port() const { return m_port; }
    bool Running() const { return m_process.state() == QProcess::Running; }
    // Everything the server printed so far (start-up lines and the request log).
    QByteArray Output() {
        m_out += m_process.readAllStandardOutput();
        return m_out;
    }
    // Waits until the request log holds `part` or the deadline passes.
    bool WaitForLog(const QByteArray& part) {
        QElapsedTimer waited;
        waited.start();
        while (!Output().contains(part) && waited.elapsed() < kWaitMs) m_process.waitForReadyRead(200);
        return Output().contains(part);
    }
    // SIGTERM; true when the server then stops on its own with code 0.
    bool Terminate() {
        if (!Running() || ::kill(pid_t(m_process.processId()), SIGTERM) != 0) return false;
        if (!m_process.waitForFinished(kWaitMs)) return false;
        Output();
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0 && m_out.contains("stopped");
    }
    QByteArray Errors() { return m_process.readAllStandardError(); }

private:
    QProcess m_process;
    QByteArray m_out;
    quint16 m_port = 0;
};

QByteArray TilePath(const char* name, const std::tuple<int, int, int>& k) {
    return QByteArray("/") + name + "/" + QByteArray::number(std::get<0>(k)) + "/" +
           QByteArray::number(std::get<1>(k)) + "/" + QByteArray::number(std::get<2>(k)) + ".png";
}

}  // namespace

TEST(Serve, TilesTileJsonAndStatesMatchTheDepository) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QMap<std::tuple<int, int, int>, long long> slotOf;
    const QString idx = MakeDepository(dir.path(), "beijing", {3, 5, 9, 10}, &slotOf);
    ASSERT_FALSE(idx.isEmpty());
    // Missing tiles of every kind at the deepest level, and a tile written twice (the second copy
    // must be served).
    const auto keys = slotOf.keys();
    ASSERT_GT(keys.size(), 8);
    const auto waiting = keys.at(keys.size() - 2);
    const auto failed = keys.at(keys.size() - 3);
    const auto damaged = keys.at(keys.size() - 4);
    const auto rewritten = keys.at(keys.size() - 5);
    {
        CIdxFileDepository dep;
        dep.SetIndexFile(idx.toStdString());
        ASSERT_TRUE(dep.Open(false));
        ASSERT_TRUE(dep.SetFileIndexStatus(slotOf[waiting], BLOCK_WAITING, true));
        ASSERT_TRUE(dep.SetFileIndexStatus(slotOf[failed], BLOCK_EMPTY, true));
        ASSERT_TRUE(dep.SetFileIndexStatus(slotOf[damaged], BLOCK_DAMAGED, true));
        QByteArray second = SolidPng(qRgb(1, 2, 3));
        ASSERT_TRUE(dep.WriteBuffer(slotOf[rewritten], reinterpret_cast<unsigned char*>(second.data()), second.size(), true));
    }
    const TileMap tiles = ReadTiles(idx);
    ASSERT_EQ(tiles.size(), slotOf.size() - 3);

    CServer server({idx});
    ASSERT_NE(server.Port(), 0) << server.Output().constData() << server.Errors().constData();
    CRawClient client(server.Port());
    ASSERT_TRUE(client.Connected());
    // Every stored tile, byte for byte, over one keep-alive connection.
    for (auto it = tiles.begin(); it != tiles.end(); ++it) {
        const Reply r = client.Get(TilePath("beijing", it.key()));
        ASSERT_EQ(r.status, 200) << TilePath("beijing", it.key()).constData();
        EXPECT_EQ(r.body, it.value());
        EXPECT_EQ(r.headers.value("content-type"), "image/png");
    }
    // Revalidation: the tag of an unchanged tile gives 304, a stale one the tile.
    const Reply first = client.Get(TilePath("beijing", tiles.firstKey()));
    const QByteArray etag = first.headers.value("etag");
    ASSERT_FALSE(etag.isEmpty());
    EXPECT_EQ(client.Get(TilePath("beijing", tiles.firstKey()), "If-None-Match: " + etag + "\r\n").status, 304);
    EXPECT_EQ(client.Get(TilePath("beijing", tiles.firstKey()), "If-None-Match: \"stale\"\r\n").status, 200);
    const Reply head = client.Raw("HEAD " + TilePath("beijing", tiles.firstKey()) + " HTTP/1.1\r\nHost: x\r\n\r\n", true);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.headers.value("content-length").toInt(), first.body.size());

    // Missing tiles: 404 naming the slot state, or what ?empty= asks for.
    struct Missing {
        std::tuple<int, int, int> key;
        QByteArray state;
    };
    const Missing missing[] = {
        {waiting, "waiting"},                        // never fetched
        {failed, "failed"},                          // tried, no tile
        {damaged, "damaged"},                        // marked by verify --repair
        {std::make_tuple(3, 6, 3), "outside"},       // level 4 is not selected
        {std::make_tuple(5, 0, 0), "no-slot"},       // outside the extent
        {std::make_tuple(12, 3000, 1500), "no-slot"},  // deeper than the depository
    };
    for (const Missing& m : missing) {
        const Reply r = client.Get(TilePath("beijing", m.key));
        EXPECT_EQ(r.status, 404) << TilePath("beijing", m.key).constData();
        EXPECT_EQ(r.headers.value("x-tile-state"), m.state) << TilePath("beijing", m.key).constData();
    }
    EXPECT_EQ(client.Get(TilePath("beijing", waiting) + "?empty=204").status, 204);
    const Reply transparent = client.Get(TilePath("beijing", waiting) + "?empty=png");
    EXPECT_EQ(transparent.status, 200);
    const QImage blank = QImage::fromData(transparent.body, "PNG");
    EXPECT_EQ(blank.size(), QSize(256, 256));
    EXPECT_EQ(qAlpha(blank.pixel(128, 128)), 0);

    // TileJSON: the zooms of the selected levels, a template that leads to the same tiles, bounds
    // around the depository's extent.
    const Reply tj = client.Get("/beijing/tiles.json");
    ASSERT_EQ(tj.status, 200);
    const QJsonObject o = QJsonDocument::fromJson(tj.body).object();
    EXPECT_EQ(o.value("tilejson").toString(), "3.0.0");
    EXPECT_EQ(o.value("minzoom").toInt(), 2);
    EXPECT_EQ(o.value("maxzoom").toInt(), 9);
    const QJsonArray bounds = o.value("bounds").toArray();
    ASSERT_EQ(bounds.size(), 4);
    EXPECT_NEAR(bounds[0].toDouble(), 115.7, 0.01);
    EXPECT_NEAR(bounds[3].toDouble(), 41.1, 0.01);
    const auto probe = tiles.lastKey();
    QString url = o.value("tiles").toArray().at(0).toString();
    url.replace("{z}", QString::number(std::get<0>(probe)))
        .replace("{x}", QString::number(std::get<1>(probe)))
        .replace("{y}", QString::number(std::get<2>(probe)));
    const QByteArray prefix = "http://127.0.0.1/";
    ASSERT_TRUE(url.toLatin1().startsWith(prefix)) << qPrintable(url);
    EXPECT_EQ(client.Get(url.toLatin1().mid(prefix.size() - 1)).body, tiles.value(probe));

    // Slot states of a range, one character per tile, against the depository's own reading.
    const auto states = ReadStates(idx);
    const int z = std::get<0>(waiting);
    int x0 = 1 << 30, y0 = 1 << 30, x1 = 0, y1 = 0;
    for (auto it = states.begin(); it != states.end(); ++it) {
        if (std::get<0>(it.key()) != z) continue;
        x0 = std::min(x0, std::get<1>(it.key()));
        x1 = std::max(x1, std::get<1>(it.key()));
        y0 = std::min(y0, std::get<2>(it.key()));
        y1 = std::max(y1, std::get<2>(it.key()));
    }
    --x0;  // one column without slotOf
    const Reply sr = client.Get(QStringLiteral("/beijing/states?z=%1&x0=%2&y0=%3&x1=%4&y1=%5")
                                    .arg(z).arg(x0).arg(y0).arg(x1).arg(y1).toLatin1());
    ASSERT_EQ(sr.status, 200);
    const QString got = QJsonDocument::fromJson(sr.body).object().value("states").toString();
    QString expected;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const auto k = std::make_tuple(z, x, y);
            expected += states.contains(k) ? QChar('0' + states.value(k)) : QChar('-');
        }
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(expected.contains(QLatin1Char('1')) && expected.contains(QLatin1Char('0')));

    // The index page links the viewer; the viewer's files are embedded.
    EXPECT_TRUE(client.Get("/").body.contains("href=\"/beijing/\""));
    EXPECT_TRUE(client.Get("/beijing/").body.contains("viewer.js"));
    EXPECT_EQ(client.Get("/_static/vendor/leaflet/leaflet.js").status, 200);
    EXPECT_TRUE(server.Terminate()) << server.Errors().constData();
}

TEST(Serve, HostileRequestsDamagedDepositoriesAndOnesBeingWrittenKeepTheServerUp) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QMap<std::tuple<int, int, int>, long long> slotOf;
    const QString idx = MakeDepository(dir.path(), "d", {1, 2});
    const QString broken = MakeDepository(dir.path(), "broken", {2, 3});
    const QString cut = MakeDepository(dir.path(), "cut", {2, 3}, &slotOf);
    ASSERT_FALSE(idx.isEmpty() || broken.isEmpty() || cut.isEmpty());
    // "broken": a data file header that is not one; "cut": tile bytes lost from the data file's end.
    {
        QFile dat(dir.filePath("broken.dat"));
        ASSERT_TRUE(dat.open(QIODevice::ReadWrite));
        dat.write(QByteArray(100, 'x'));
        QFile cutDat(dir.filePath("cut.dat"));
        ASSERT_TRUE(cutDat.resize(cutDat.size() - 10));
    }
    const auto lastTile = slotOf.lastKey();
    // A file beside the depository that no request may reach.
    QFile secret(dir.filePath("secret.txt"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("secret");
    secret.close();
    CServer server({idx, broken, cut});
    ASSERT_NE(server.Port(), 0) << server.Errors().constData();
    const QByteArray longPath = "/d/" + QByteArray(6000, 'a');
    struct Row {
        QByteArray request;
        int status;
    };
    const Row rows[] = {
        {"GET /../secret.txt HTTP/1.1\r\nHost: x\r\n\r\n", 400},              // plain traversal
        {"GET /d/../../secret.txt HTTP/1.1\r\nHost: x\r\n\r\n", 400},         // traversal below a name
        {"GET /d/%2e%2e/%2E%2E/secret.txt HTTP/1.1\r\nHost: x\r\n\r\n", 400}, // encoded dots
        {"GET /d/..%2fsecret.txt HTTP/1.1\r\nHost: x\r\n\r\n", 400},          // encoded slash
        {"GET /_static/..%5c..%5csecret.txt HTTP/1.1\r\nHost: x\r\n\r\n", 400},  // encoded backslash
        {"GET /_static/%2e%2e/%2e%2e/secret.txt HTTP/1.1\r\nHost: x\r\n\r\n", 400},
        {"GET /secret.txt HTTP/1.1\r\nHost: x\r\n\r\n", 404},                 // not a served name
        {"GET /d/secret.txt HTTP/1.1\r\nHost: x\r\n\r\n", 404},
        {"GET /d%00/0/0/0.png HTTP/1.1\r\nHost: x\r\n\r\n", 400},             // NUL in a name
        {"GET " + longPath + " HTTP/1.1\r\nHost: x\r\n\r\n", 414},            // very long target
        {"GET / HTTP/1.1\r\nHost: x\r\nX: " + QByteArray(20000, 'b') + "\r\n\r\n", 431},  // huge head
        {"GET /d/a/0/0.png HTTP/1.1\r\nHost: x\r\n\r\n", 400},                // not a number
        {"GET /d/0/-1/0.png HTTP/1.1\r\nHost: x\r\n\r\n", 400},               // negative
        {"GET /d/0/0/+0.png HTTP/1.1\r\nHost: x\r\n\r\n", 400},               // signed
        {"GET /d/0/99999999999/0.png HTTP/1.1\r\nHost: x\r\n\r\n", 400},      // overflows an int
        {"GET /d/0/0/0.png%00.txt HTTP/1.1\r\nHost: x\r\n\r\n", 400},         // NUL in the extension
        {"GET /d/99/0/0.png HTTP/1.1\r\nHost: x\r\n\r\n", 404},               // zoom beyond every level
        {"GET /d/1/999999999/0.png HTTP/1.1\r\nHost: x\r\n\r\n", 404},        // column beyond the level
        {"GET /d/0/0/0.png?empty=maybe HTTP/1.1\r\nHost: x\r\n\r\n", 400},    // unknown empty= value
        {"GET /d/states?z=1&x0=0&y0=0&x1=999999&y1=999999 HTTP/1.1\r\nHost: x\r\n\r\n", 400},  // huge range
        {"GET /d/states?z=1&x0=5&y0=0&x1=1&y1=0 HTTP/1.1\r\nHost: x\r\n\r\n", 400},  // inverted range
        {"POST /d/0/0/0.png HTTP/1.1\r\nHost: x\r\nContent-Length: 4\r\n\r\nabcd", 400},  // a body
        {"DELETE /d/0/0/0.png HTTP/1.1\r\nHost: x\r\n\r\n", 405},             // not a reading method
        {"GET /d/0/0/0.png HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n", 501},
        {"GET / HTTP/2.0\r\nHost: x\r\n\r\n", 505},                           // unknown version
        {"GET / HTTP/1.1\r\n\r\n", 400},                                      // no Host
        {"\x01\x02\x03 garbage\r\n\r\n", 400},                                // not HTTP at all
        {"GET http://example.org/ HTTP/1.1\r\nHost: x\r\n\r\n", 400},         // proxy form
    };
    for (const Row& row : rows) {
        CRawClient client(server.Port());
        ASSERT_TRUE(client.Connected()) << row.request.left(60).constData();
        const Reply r = client.Raw(row.request);
        EXPECT_EQ(r.status, row.status) << row.request.left(60).constData();
        EXPECT_NE(r.body, "secret") << row.request.left(60).constData();
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
    EXPECT_EQ(after.Get("/d/0/0/0.png").status, 200);

    EXPECT_TRUE(server.Output().contains("unavailable")) << server.Output().constData();
    EXPECT_EQ(after.Get("/broken/1/1/0.png").status, 503);
    EXPECT_EQ(after.Get("/broken/tiles.json").status, 503);
    EXPECT_EQ(after.Get(TilePath("cut", lastTile)).status, 500);  // bytes past the end
    EXPECT_EQ(after.Get(TilePath("cut", slotOf.firstKey())).status, 200);
    EXPECT_EQ(after.Get("/d/1/1/0.png").status, 200);
    EXPECT_TRUE(after.Get("/").body.contains("unavailable"));

    // A download goes on while serving: a new tile is served at once, a new level once the
    // server has noticed it, and a repaired depository becomes available.
    {
        CIdxFileDepository dep;
        dep.SetIndexFile(idx.toStdString());
        ASSERT_TRUE(dep.Open(false));
        ASSERT_TRUE(dep.SetFileIndexStatus(1 + 1, BLOCK_WAITING, true));  // first tile of level 2
    }
    EXPECT_EQ(after.Get("/d/1/1/0.png").status, 404);
    {
        CIdxFileDepository dep;
        dep.SetIndexFile(idx.toStdString());
        ASSERT_TRUE(dep.Open(false));
        QByteArray png = SolidPng(qRgb(9, 9, 9));
        ASSERT_TRUE(dep.WriteBuffer(2, reinterpret_cast<unsigned char*>(png.data()), png.size(), true));
        ASSERT_TRUE(dep.ExpandLevelTo(5, nullptr));
        EXPECT_EQ(after.Get("/d/1/1/0.png").body, png);
    }
    const QString remade = MakeDepository(dir.path(), "broken", {2});
    ASSERT_FALSE(remade.isEmpty());
    QElapsedTimer waited;
    waited.start();
    int maxZoom = 0;
    int brokenStatus = 0;
    while ((maxZoom != 4 || brokenStatus != 200) && waited.elapsed() < kWaitMs) {
        QThread::msleep(100);
        maxZoom = QJsonDocument::fromJson(after.Get("/d/tiles.json").body).object().value("maxzoom").toInt();
        brokenStatus = after.Get("/broken/tiles.json").status;
    }
    EXPECT_EQ(maxZoom, 4);
    EXPECT_EQ(brokenStatus, 200);
    EXPECT_TRUE(server.Running());
    EXPECT_TRUE(server.Terminate()) << server.Errors().constData();
}

TEST(Serve, ManyClientsReadWholeTilesWhileTheyAreRewritten) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QMap<std::tuple<int, int, int>, long long> slotOf;
    const QString idx = MakeDepository(dir.path(), "busy", {8, 9}, &slotOf);
    ASSERT_FALSE(idx.isEmpty());
    const auto keys = slotOf.keys();
    // Every version a tile may have: the first one and one per rewrite round.
    constexpr int kRounds = 6;
    auto version = [](const std::tuple<int, int, int>& k, int round) {
        return round == 0 ? SolidPng(TileColour(std::get<0>(k), std::get<1>(k), std::get<2>(k)))
                          : SolidPng(qRgb(round * 40, std::get<1>(k) % 256, std::get<2>(k) % 256));
    };
    QMap<std::tuple<int, int, int>, QSet<QByteArray>> versions;
    for (const auto& k : keys)
        for (int round = 0; round <= kRounds; ++round) versions[k].insert(version(k, round));
    CServer server({idx}, {"--quiet", "--threads", "4"});
    ASSERT_NE(server.Port(), 0) << server.Errors().constData();

    std::atomic<bool> writing{true};
    std::thread writer([&] {
        CIdxFileDepository dep;
        dep.SetIndexFile(idx.toStdString());
        if (!dep.Open(false)) return;
        for (int round = 1; round <= kRounds; ++round)
            for (const auto& k : keys) {
                QByteArray png = version(k, round);
                dep.WriteBuffer(slotOf[k], reinterpret_cast<unsigned char*>(png.data()), png.size(), true);
            }
        writing = false;
    });
    // Each client: whole tiles of some version, and one tag never names two different tiles.
    constexpr int kClients = 12;
    QMutex mutex;
    QMap<QByteArray, QByteArray> bodyOfTag;
    std::atomic<int> served{0};
    std::atomic<int> wrong{0};
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
    ASSERT_TRUE(dir.isValid());
    QMap<std::tuple<int, int, int>, long long> slotOf;
    const QString idx = MakeDepository(dir.path(), "view", {6, 7, 8, 9}, &slotOf);
    ASSERT_FALSE(idx.isEmpty());
    QSet<QRgb> colours;
    for (const auto& k : slotOf.keys()) colours.insert(TileColour(std::get<0>(k), std::get<1>(k), std::get<2>(k)));
    CServer server({idx});
    ASSERT_NE(server.Port(), 0) << server.Errors().constData();

    const QString shot = dir.filePath("shot.png");
    QProcess browser;
    browser.setProcessChannelMode(QProcess::MergedChannels);
    browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu",
                             "--disable-quic", "--no-first-run",
                             "--disable-background-networking",
                             "--disable-component-update", "--disable-sync",
                             QStringLiteral("--user-data-dir=") + dir.filePath("profile"),
                             "--window-size=800,600", "--virtual-time-budget=20000",
                             QStringLiteral("--screenshot=") + shot,
                             QStringLiteral("http://127.0.0.1:%1/view/").arg(server.Port())});
    if (!browser.waitForStarted(kWaitMs)) GTEST_SKIP() << "chromium cannot start: " << qPrintable(browser.errorString());
    ASSERT_TRUE(browser.waitForFinished(120000)) << browser.readAll().constData();
    ASSERT_TRUE(QFileInfo::exists(shot)) << browser.readAll().constData();

    // The request log shows the page, Leaflet, the TileJSON, the states and tiles.
    EXPECT_TRUE(server.WaitForLog("GET /_static/vendor/leaflet/leaflet.js 200"));
    EXPECT_TRUE(server.WaitForLog("GET /view/tiles.json 200"));
    EXPECT_TRUE(server.WaitForLog("GET /view/states?"));
    const QRegularExpression tileLine("GET /view/\\d+/\\d+/\\d+\\.png 200");
    EXPECT_TRUE(tileLine.match(QString::fromLatin1(server.Output())).hasMatch()) << server.Output().constData();
    // Tiles were drawn: a good part of the picture has exactly the colours of the tiles.
    const QImage image(shot);
    ASSERT_FALSE(image.isNull());
    long long tilePixels = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (colours.contains(image.pixel(x, y) | 0xff000000u)) ++tilePixels;
    EXPECT_GT(tilePixels, (long long)image.width() * image.height() / 10)
        << "tile-coloured pixels: " << tilePixels << " of " << image.width() * image.height();
    EXPECT_TRUE(server.Terminate()) << server.Errors().constData();
}
