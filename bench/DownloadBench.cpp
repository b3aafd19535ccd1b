// Download throughput: the vtcore downloader (8 threads, writing every tile into a depository)
// against a plain parallel fetch of the same URLs into memory with the same client library
// (8 threads, one QNetworkAccessManager each, nothing stored). Both fetch the 21,845 tiles of
// levels 1 to 8 of the whole Web Mercator world from a tile server on 127.0.0.1. Reported:
// baseline_s, tool_s and ratio = baseline / tool (target: at least 0.8).
#include "tools/vtcore/LocalTileServer.h"

#include "storage/IdxFileDepository.h"
#include "tools/vtcore/Downloader.h"
#include "tools/vtcore/TileSource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

constexpr int kThreads = 8;
constexpr int kDeepestLevel = 8;  // 1 + 4 + ... + 16384 = 21,845 tiles

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

class CFetchThread : public QThread {
public:
    CFetchThread(const std::vector<Job>& jobs, std::atomic<size_t>& next, std::vector<QByteArray>& out, quint16 port)
        : m_jobs(jobs), m_next(next), m_out(out), m_port(port) {}

protected:
    void run() override {
        QNetworkAccessManager nam;
        for (size_t i = m_next++; i < m_jobs.size(); i = m_next++) {
            const Job& j = m_jobs[i];
            QNetworkRequest request(
                QUrl(QStringLiteral("http://127.0.0.1:%1/%2/%3/%4.png").arg(m_port).arg(j.z).arg(j.x).arg(j.y)));
            std::unique_ptr<QNetworkReply> reply(nam.get(request));
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

double ToolSeconds(const VtTest::CLocalTileServer& server, long long& stored) {
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
    const auto source = VtCli::MakeUrlTemplateSource(server.UrlTemplate(), false, {}, {}, error);
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

void BM_DownloadAgainstPlainFetch(benchmark::State& state) {
    VtTest::CLocalTileServer server;
    const std::vector<Job> jobs = AllTiles();
    double baseline = 0;
    double tool = 0;
    long long stored = 0;
    for (auto _ : state) {
        // Alternate so that a warming machine favours neither side.
        baseline += PlainFetchSeconds(jobs, server.Port());
        const double t = ToolSeconds(server, stored);
        if (t < 0 || stored != static_cast<long long>(jobs.size())) {
            state.SkipWithError("the downloader did not store every tile");
            return;
        }
        tool += t;
        state.SetIterationTime(t);
    }
    state.counters["tiles"] = double(jobs.size());
    state.counters["baseline_s"] = baseline / state.iterations();
    state.counters["tool_s"] = tool / state.iterations();
    state.counters["ratio"] = tool > 0 ? baseline / tool : 0;
}
BENCHMARK(BM_DownloadAgainstPlainFetch)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
