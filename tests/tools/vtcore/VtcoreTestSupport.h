#pragma once

// Helpers of the vtcore tool tests: running the tool in-process or as a child process, reading
// depositories, MBTiles files and task rows back, and nginx as a tile server.
#include "catalog/DataFactory.h"
#include "storage/IdxFileDepository.h"
#include "tools/vtcore/Vtcore.h"

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <tuple>

namespace VtTest {

// A small region around Beijing that most tests download.
inline const QString kBeijing = QStringLiteral("116.2,39.7,116.6,40.1");

struct RunResult {
    int code = -1;
    QString out;
    QString err;
};

// Runs `vtcore <args>` in this process.
RunResult RunTool(const QStringList& args);
// The vtcore program as a child process.
std::unique_ptr<QProcess> StartVtcore(const QStringList& args);
// Runs `vtcore <args>` as a child process to its end.
RunResult RunVtcore(const QStringList& args);
// Runs another program to its end; code -1 when it cannot start or does not exit normally.
RunResult RunProgram(const QString& program, const QStringList& args);
// Polls `done` until it holds (true) or two minutes pass (false).
bool WaitFor(const std::function<bool()>& done);
QByteArray FileBytes(const QString& path);
bool WriteFile(const QString& path, const QByteArray& bytes);  // makes the folder too
// The task rows of the task database in `dir`.
QList<DownloadTask> TaskRows(const QString& dir);

// (zoom, x, y), zero-based keys of a depository's scheme.
using Key = std::tuple<int, int, int>;
using TileMap = QMap<Key, QByteArray>;
// Tiles, slot states and slot numbers of a depository's selected levels.
struct Slots { TileMap tiles; QMap<Key, int> states; QMap<Key, long long> numbers; };
Slots ReadSlots(const QString& idxPath);
// Opens the depository for writing and hands it to `edit`; false when it cannot be opened.
bool EditDepository(const QString& idxPath, const std::function<bool(CIdxFileDepository&)>& edit);
bool WriteTile(CIdxFileDepository& dep, long long slot, QByteArray bytes);

// The rows a query gives on an SQLite file opened read-only, columns joined by '|'; none when the
// file cannot be opened or the query fails.
QStringList Sql(const QString& file, const QString& query);

// A server program as a child process on a free port of 127.0.0.1, named "%1" in `args`; `prepare`
// gets the port before the start (false: do not start). Port() is 0 when it does not listen within
// 30 s. SIGTERM, then SIGKILL, on destruction.
class CChildServer {
public:
    CChildServer(const QString& program, QStringList args, const std::function<bool(quint16)>& prepare = {});
    ~CChildServer();
    quint16 Port() const { return m_port; }
    QString UrlTemplate() const { return QStringLiteral("http://127.0.0.1:%1/{z}/{x}/{y}.png").arg(m_port); }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

// nginx serving the folder `root`, closing each connection after five requests; its configuration,
// logs and temporary files go to `work`. Null when it is not installed.
std::unique_ptr<CChildServer> StartNginx(const QString& root, const QString& work);

}  // namespace VtTest
