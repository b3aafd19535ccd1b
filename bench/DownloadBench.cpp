// Download throughput: the vtcore downloader (8 threads, writing every tile into a depository)
// against `curl --parallel --parallel-max 8` fetching the same URLs to /dev/null, both from an nginx
// started here on 127.0.0.1 (its configuration in a temporary folder, a free port) that serves
// generated tiles of about 19 KB. The 5,461 tiles of levels 1 to 7 of the whole Web Mercator world
// are fetched once per iteration by each side, in alternating order. Without nginx the tests' local
// tile server stands in; without curl, a plain parallel fetch of the same URLs in this process with
// Qt's network access manager. Reported: ratio = baseline seconds / vtcore seconds (min, median and
// max over the iterations; target: at least 0.8), and the median seconds of each side.
#include "tools/vtcore/LocalTileServer.h"

#include "storage/IdxFileDepository.h"
#include "tools/vtcore/Downloader.h"
#include "tools/vtcore/TileSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

namespace {

constexpr int kThreads = 8;
constexpr int kDeepestLevel = 7;  // 1 + 4 + ... + 4096 = 5,461 tiles
constexpr int kTileBytes = 19 * 1024;
constexpr int kIterations = 5;

struct Job {
    int z, x, y;
};

std::vector<Job> AllTiles() {
    std::vector<Job> jobs;
    for (int z = 0; z < kDeepestLevel; ++z)
        for (int y = 0; y < (1 << z); ++y)
            for (int x = 0; x < (1 << z); ++x) jobs.push_back({z, x, y});
    return jobs;
}

quint32 Crc32(const QByteArray& bytes) {
    quint32 crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A small PNG grown to about kTileBytes by a private ancillary chunk: a valid image of tile size.
QByteArray SizedTile(int variant) {
    QByteArray png = VtTest::CLocalTileServer::TileBytes(3, variant, variant);
    QByteArray padding(kTileBytes - png.size() - 12, '\0');
    for (int i = 0; i < padding.size(); ++i) padding[i] = char((i * 131 + variant * 17) & 0xFF);
    const QByteArray typeAndData = QByteArray("vtPd") + padding;
    QByteArray chunk;
    const quint32 n = quint32(padding.size());
    chunk.append(char(n >> 24)).append(char(n >> 16)).append(char(n >> 8)).append(char(n));
    chunk += typeAndData;
    const quint32 crc = Crc32(typeAndData);
    chunk.append(char(crc >> 24)).append(char(crc >> 16)).append(char(crc >> 8)).append(char(crc));
    png.insert(8 + 25, chunk);  // after the signature and the IHDR chunk
    return png;
}

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// nginx in a temporary folder, serving ten tiles by the last digit of the column.
class CNginx {
public:
    bool Start() {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("nginx"),
                                                               {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
        if (program.isEmpty() || !m_dir.isValid()) return false;
        // nginx's workers may run as another user: the tiles must be readable to them.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                QFileDevice::ReadOther | QFileDevice::ExeOther |
                                                QFileDevice::ReadGroup | QFileDevice::ExeGroup);
        QDir(m_dir.path()).mkpath(QStringLiteral("tiles"));
        QDir(m_dir.path()).mkpath(QStringLiteral("tmp"));
        for (int i = 0; i < 10; ++i) {
            QFile f(m_dir.filePath(QStringLiteral("tiles/tile%1.png").arg(i)));
            if (!f.open(QIODevice::WriteOnly)) return false;
            f.write(SizedTile(i));
        }
        m_port = FreePort();
        const QString root = m_dir.path();
        QFile conf(m_dir.filePath(QStringLiteral("nginx.conf")));
        if (!conf.open(QIODevice::WriteOnly)) return false;
        conf.write(QStringLiteral("worker_processes 1;\ndaemon off;\npid %1/nginx.pid;\nerror_log %1/error.log;\n"
                                  "events { worker_connections 256; }\n"
                                  "http {\n  access_log off;\n  keepalive_requests 100000;\n"
                                  "  client_body_temp_path %1/tmp; proxy_temp_path %1/tmp; fastcgi_temp_path %1/tmp;\n"
                                  "  uwsgi_temp_path %1/tmp; scgi_temp_path %1/tmp;\n"
                                  "  server {\n    listen 127.0.0.1:%2;\n    root %1/tiles;\n"
                                  "    location / { rewrite \"^/\\d+/\\d*(\\d)/\\d+\\.png$\" /tile$1.png break; "
                                  "default_type image/png; }\n  }\n}\n")
                       .arg(root)
                       .arg(m_port)
                       .toUtf8());
        conf.close();
        // Nothing reads its output: a full pipe would stall it.
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(program, {QStringLiteral("-p"), root, QStringLiteral("-c"), conf.fileName(),
                                  QStringLiteral("-e"), m_dir.filePath(QStringLiteral("error.log"))});
        if (!m_process.waitForStarted(10000)) return false;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000 && m_process.state() == QProcess::Running) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            if (probe.waitForConnected(200)) return true;
            QThread::msleep(50);
        }
        return false;
    }
    ~CNginx() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(10000)) m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    quint16 Port() const { return m_port; }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

QString TileUrl(quint16 port, const Job& j) {
    return QStringLiteral("http://127.0.0.1:%1/%2/%3/%4.png").arg(port).arg(j.z).arg(j.x).arg(j.y);
}

// curl's own parallel transfers; -1 when curl cannot run.
double CurlSeconds(const std::vector<Job>& jobs, quint16 port, const QString& curl, const QString& configFile) {
    {
        QFile config(configFile);
        if (!config.exists()) {
            if (!config.open(QIODevice::WriteOnly)) return -1;
            for (const Job& j : jobs)
                config.write(QStringLiteral("url = \"%1\"\noutput = \"/dev/null\"\n").arg(TileUrl(port, j)).toUtf8());
        }
    }
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    process.start(curl, {QStringLiteral("--silent"), QStringLiteral("--fail"), QStringLiteral("--parallel"),
                         QStringLiteral("--parallel-max"), QString::number(kThreads), QStringLiteral("--config"),
                         configFile});
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        process.kill();
        process.waitForFinished(10000);
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

class CFetchThread : public QThread {
public:
    CFetchThread(const std::vector<Job>& jobs, std::atomic<size_t>& next, std::vector<QByteArray>& out, quint16 port)
        : m_jobs(jobs), m_next(next), m_out(out), m_port(port) {}

protected:
    void run() override {
        QNetworkAccessManager nam;
        for (size_t i = m_next++; i < m_jobs.size(); i = m_next++) {
            std::unique_ptr<QNetworkReply> reply(nam.get(QNetworkRequest(QUrl(TileUrl(m_port, m_jobs[i])))));
            QEventLoop loop;
            QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
            if (!reply->isFinished()) loop.exec();
            m_out[i] = reply->readAll();
        }
    }

private:
    const std::vector<Job>& m_jobs;
    std::atomic<size_t>& m_next;
    std::vector<QByteArray>& m_out;
    quint16 m_port;
};

double PlainFetchSeconds(const std::vector<Job>& jobs, quint16 port) {
    std::vector<QByteArray> out(jobs.size());
    std::atomic<size_t> next{0};
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<CFetchThread>> threads;
    for (int i = 0; i < kThreads; ++i) threads.push_back(std::make_unique<CFetchThread>(jobs, next, out, port));
    for (auto& t : threads) t->start();
    for (auto& t : threads) t->wait();
    return clock.nsecsElapsed() / 1e9;
}

double ToolSeconds(quint16 port, long long& stored) {
    QTemporaryDir dir;
    STRUCT_DOWNLOAD_TASK task;
    task.extent = EXTENT{-180, -85.05, 180, 85.05};
    for (int l = 1; l <= kDeepestLevel; ++l) task.level.append(l);
    task.maptype = 602;
    CIdxFileDepository dep;
    dep.SetIndexFile(dir.filePath(QStringLiteral("bench.idx")).toStdString());
    QElapsedTimer clock;
    clock.start();
    if (!dep.Create(task, true, nullptr, BLOCK_WAITING) || !dep.Open(false)) return -1;
    QString error;
    const auto source = VtCli::MakeUrlTemplateSource(QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(port),
                                                     false, {}, {}, error);
    if (!source) return -1;
    VtCli::DownloadOptions options;
    options.threads = kThreads;
    VtCli::CTileDownloader downloader(dep, *source, options);
    std::atomic<bool> stop{false};
    downloader.Run(stop, nullptr, 1000);
    dep.Close();
    stored = downloader.Counts().stored;
    return clock.nsecsElapsed() / 1e9;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void BM_DownloadAgainstCurlOnNginx(benchmark::State& state) {
    CNginx nginx;
    std::unique_ptr<VtTest::CLocalTileServer> fallback;
    quint16 port = 0;
    if (nginx.Start()) {
        port = nginx.Port();
    } else {
        fallback = std::make_unique<VtTest::CLocalTileServer>();
        port = fallback->Port();
    }
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    QTemporaryDir scratch;
    const QString curlConfig = scratch.filePath(QStringLiteral("urls.curl"));
    const std::vector<Job> jobs = AllTiles();
    std::vector<double> baselines, tools, ratios;
    bool useCurl = !curl.isEmpty();
    for (auto _ : state) {
        const bool toolFirst = ratios.size() % 2 == 1;  // alternate so that neither side warms the other
        long long stored = 0;
        double t = toolFirst ? ToolSeconds(port, stored) : 0;
        double b = useCurl ? CurlSeconds(jobs, port, curl, curlConfig) : -1;
        if (b < 0) {
            useCurl = false;
            b = PlainFetchSeconds(jobs, port);
        }
        if (!toolFirst) t = ToolSeconds(port, stored);
        if (t < 0 || stored != static_cast<long long>(jobs.size())) {
            state.SkipWithError("the downloader did not store every tile");
            return;
        }
        baselines.push_back(b);
        tools.push_back(t);
        ratios.push_back(b / t);
        state.SetIterationTime(t);
    }
    state.SetLabel(std::string(fallback ? "local test server" : "nginx") + ", baseline " +
                   (useCurl ? "curl --parallel --parallel-max 8" : "plain parallel fetch"));
    state.counters["tiles"] = double(jobs.size());
    state.counters["baseline_s"] = Median(baselines);
    state.counters["tool_s"] = Median(tools);
    state.counters["ratio_min"] = *std::min_element(ratios.begin(), ratios.end());
    state.counters["ratio_median"] = Median(ratios);
    state.counters["ratio_max"] = *std::max_element(ratios.begin(), ratios.end());
}
BENCHMARK(BM_DownloadAgainstCurlOnNginx)->UseManualTime()->Iterations(kIterations)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
