// vtcore serve against nginx serving the same tiles as plain files, both on 127.0.0.1 and both
// started by this program in a temporary folder.
//   BM_ServeTiles: 8 client connections (one thread each, keep-alive) fetch 8-32 KiB tiles in
//     turn; each iteration times the same requests against `vtcore serve` and against nginx, in
//     short alternating turns.
//     Counters: serve_tiles_per_s, nginx_tiles_per_s and ratio = serve / nginx (aim: 0.5 or more).
// Skipped with a message where nginx or the vtcore program is missing.
#include "storage/IdxFileDepository.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#ifndef VT_VTCORE_PROGRAM
#define VT_VTCORE_PROGRAM ""  // built without the tools
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kConnections = 8;
constexpr int kRequestsPerConnection = 250;
constexpr int kTurns = 6;
const QList<int> kLevels = {10, 11, 12, 13};

struct Tile {
    std::string path;  // "/z/x/y.png"
    size_t size = 0;
};

struct Fixture {
    QTemporaryDir dir;
    QString idx;
    std::vector<Tile> tiles;
    bool ok = false;
};

// A depository around Beijing whose tiles are random bytes behind a PNG signature, and the same
// bytes as files <www>/<z>/<x>/<y>.png.
void MakeFixture(Fixture& f) {
    f.idx = f.dir.filePath(QStringLiteral("bench.idx"));
    STRUCT_DOWNLOAD_TASK task;
    task.level = kLevels;
    task.extent = EXTENT{115.7, 39.4, 117.4, 41.1};
    task.maptype = 602;
    CIdxFileDepository dep;
    dep.SetIndexFile(f.idx.toStdString());
    if (!dep.Create(task, true, nullptr, BLOCK_WAITING) || !dep.Open(false)) return;
    std::mt19937 rng(17);
    const CDatIndexConvert& conv = dep.GetIndexConverter();
    for (int level : kLevels) {
        CTileKey minKey;
        CTileKey maxKey;
        conv.GetTileBound(minKey, maxKey, level);
        const long long first = conv.GetTileNumberUtilLevel(level - 1) + 1;
        const int cols = maxKey.GetTileX() - minKey.GetTileX() + 1;
        for (long long i = 0; i < conv.GetTileNumber(level); ++i) {
            QByteArray bytes(int(8192 + rng() % (32768 - 8192 + 1)), '\0');
            for (int k = 0; k < bytes.size(); k += 4) bytes[k] = char(rng());
            std::memcpy(bytes.data(), "\x89PNG\r\n\x1a\n", 8);
            const int z = level - 1;
            const int x = minKey.GetTileX() + int(i % cols);
            const int y = minKey.GetTileY() + int(i / cols);
            if (!dep.WriteBuffer(first + i, reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), false))
                return;
            const QString folder = f.dir.filePath(QStringLiteral("www/%1/%2").arg(z).arg(x));
            QFile file(QStringLiteral("%1/%2.png").arg(folder).arg(y));
            if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
                return;
            f.tiles.push_back(Tile{"/" + std::to_string(z) + "/" + std::to_string(x) + "/" + std::to_string(y) + ".png",
                                   size_t(bytes.size())});
        }
    }
    f.ok = true;
}

int FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

bool SendAll(int s, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::send(s, p, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

// One keep-alive connection fetching `count` tiles starting at `start`; false on any answer that
// is not the whole tile.
bool FetchTiles(int port, const std::string& prefix, const std::vector<Tile>& tiles, size_t start, int count) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(s);
        return false;
    }
    std::vector<char> buf(1 << 16);
    std::string pending;
    bool ok = true;
    for (int i = 0; i < count && ok; ++i) {
        const Tile& t = tiles[(start + size_t(i)) % tiles.size()];
        const std::string request = "GET " + prefix + t.path + " HTTP/1.1\r\nHost: bench\r\n\r\n";
        if (!SendAll(s, request.data(), request.size())) {
            ok = false;
            break;
        }
        size_t headEnd = std::string::npos;
        while ((headEnd = pending.find("\r\n\r\n")) == std::string::npos) {
            const ssize_t r = ::recv(s, buf.data(), buf.size(), 0);
            if (r <= 0) break;
            pending.append(buf.data(), size_t(r));
        }
        if (headEnd == std::string::npos || pending.compare(0, 12, "HTTP/1.1 200") != 0) {
            ok = false;
            break;
        }
        size_t length = 0;
        const size_t at = pending.find("Content-Length: ");
        if (at != std::string::npos && at < headEnd) length = std::stoul(pending.substr(at + 16, 12));
        ok = length == t.size;
        const size_t total = headEnd + 4 + length;
        while (ok && pending.size() < total) {
            const ssize_t r = ::recv(s, buf.data(), buf.size(), 0);
            if (r <= 0) ok = false;
            else pending.append(buf.data(), size_t(r));
        }
        if (ok) pending.erase(0, total);
    }
    ::close(s);
    return ok;
}

// Seconds for kConnections clients to fetch kRequestsPerConnection tiles each; negative on errors.
double Load(int port, const std::string& prefix, const std::vector<Tile>& tiles) {
    std::atomic<int> failures{0};
    std::vector<std::thread> clients;
    const auto start = Clock::now();
    for (int c = 0; c < kConnections; ++c)
        clients.emplace_back([&, c] {
            if (!FetchTiles(port, prefix, tiles, size_t(c) * tiles.size() / kConnections, kRequestsPerConnection))
                ++failures;
        });
    for (std::thread& t : clients) t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return failures == 0 ? seconds : -1;
}

class CChild {
public:
    ~CChild() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(10000)) m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

// Waits until something accepts connections on the port.
bool WaitForPort(int port) {
    for (int i = 0; i < 200; ++i) {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool up = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(s);
        if (up) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

void BM_ServeTiles(benchmark::State& state) {
    const QString nginx = QStandardPaths::findExecutable(QStringLiteral("nginx"), {QStringLiteral("/usr/sbin"),
                                                                                  QStringLiteral("/usr/bin")});
    if (nginx.isEmpty()) {
        state.SkipWithError("nginx is not installed (scripts/install-deps.sh installs it)");
        return;
    }
    if (!QFileInfo(QStringLiteral(VT_VTCORE_PROGRAM)).isExecutable()) {
        state.SkipWithError("the vtcore program is not built");
        return;
    }
    Fixture f;
    MakeFixture(f);
    if (!f.ok) {
        state.SkipWithError("cannot write the test depository");
        return;
    }

    CChild serve;
    serve.process().start(QStringLiteral(VT_VTCORE_PROGRAM), {QStringLiteral("serve"), f.idx, QStringLiteral("--port"),
                                                              QStringLiteral("0"), QStringLiteral("--quiet")});
    int servePort = 0;
    QByteArray out;
    while (servePort == 0 && serve.process().waitForReadyRead(30000)) {
        out += serve.process().readAllStandardOutput();
        const int at = out.indexOf("listening  http://127.0.0.1:");
        const int end = out.indexOf("/\n", at);
        if (at >= 0 && end > at) servePort = out.mid(at + 28, end - at - 28).toInt();
    }

    const int nginxPort = FreePort();
    const QString conf = f.dir.filePath(QStringLiteral("nginx.conf"));
    QFile c(conf);
    c.open(QIODevice::WriteOnly);
    // As nginx is commonly run for static files: a worker per processor, sendfile, no access log.
    c.write(QStringLiteral("daemon off;\nuser root;\nworker_processes auto;\npid %1/nginx.pid;\n"
                           "error_log %1/error.log;\nevents { worker_connections 1024; }\n"
                           "http {\n  access_log off;\n  sendfile on;\n  tcp_nopush on;\n  tcp_nodelay on;\n"
                           "  keepalive_requests 1000000;\n  default_type image/png;\n"
                           "  client_body_temp_path %1/tmp;\n  proxy_temp_path %1/tmp;\n"
                           "  fastcgi_temp_path %1/tmp;\n  uwsgi_temp_path %1/tmp;\n  scgi_temp_path %1/tmp;\n"
                           "  server {\n    listen 127.0.0.1:%2;\n    root %1/www;\n  }\n}\n")
                .arg(f.dir.path())
                .arg(nginxPort)
                .toUtf8());
    c.close();
    CChild server;
    server.process().start(nginx, {QStringLiteral("-p"), f.dir.path(), QStringLiteral("-e"),
                                   f.dir.filePath(QStringLiteral("error.log")), QStringLiteral("-c"), conf});
    if (servePort == 0 || nginxPort == 0 || !WaitForPort(nginxPort)) {
        state.SkipWithError("vtcore serve or nginx did not start");
        return;
    }

    double serveSeconds = 0;
    double nginxSeconds = 0;
    // Warm both (page cache, connections, worker threads) before timing.
    Load(servePort, "/bench", f.tiles);
    Load(nginxPort, "", f.tiles);
    for (auto _ : state) {
        // Short turns taken in alternating order, so that both servers meet the same load of the
        // rest of the machine.
        double s = 0;
        for (int turn = 0; turn < kTurns; ++turn) {
            const double first = Load(turn % 2 ? nginxPort : servePort, turn % 2 ? "" : "/bench", f.tiles);
            const double second = Load(turn % 2 ? servePort : nginxPort, turn % 2 ? "/bench" : "", f.tiles);
            if (first < 0 || second < 0) {
                state.SkipWithError("a tile came back wrong");
                return;
            }
            s += turn % 2 ? second : first;
            nginxSeconds += turn % 2 ? first : second;
        }
        serveSeconds += s;
        state.SetIterationTime(s);
    }
    const double requests = double(state.iterations()) * kTurns * kConnections * kRequestsPerConnection;
    state.SetItemsProcessed(int64_t(requests));
    state.counters["serve_tiles_per_s"] = requests / serveSeconds;
    state.counters["nginx_tiles_per_s"] = requests / nginxSeconds;
    state.counters["ratio"] = nginxSeconds / serveSeconds;
}

}  // namespace

BENCHMARK(BM_ServeTiles)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
