#include "VtcoreTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QThread>

#include <sqlite3.h>

namespace VtTest {

RunResult RunTool(const QStringList& args) {
    RunResult r;
    {
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        r.code = VtCli::RunVtcore(args, out, err);
    }
    return r;
}

constexpr int kLongWaitMs = 120000;

std::unique_ptr<QProcess> StartVtcore(const QStringList& args) {
    auto p = std::make_unique<QProcess>();  // with the test program's environment, Qt platform included
    p->start(QStringLiteral(VT_VTCORE_PROGRAM), args);
    return p;
}

RunResult RunVtcore(const QStringList& args) { return RunProgram(QStringLiteral(VT_VTCORE_PROGRAM), args); }

RunResult RunProgram(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    RunResult r;
    if (!p.waitForStarted(kLongWaitMs) || !p.waitForFinished(kLongWaitMs)) return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer t;
    t.start();
    for (; !done(); QThread::msleep(2))
        if (t.elapsed() > kLongWaitMs) return false;
    return true;
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QList<DownloadTask> TaskRows(const QString& dir) {
    DataFactory::setApplicationDir(dir);
    const QList<DownloadTask> rows = DataFactory::getTaskList();
    DataFactory::setApplicationDir(QString());
    return rows;
}

bool EditDepository(const QString& idxPath, const std::function<bool(CIdxFileDepository&)>& edit) {
    CIdxFileDepository dep;
    dep.SetIndexFile(idxPath.toStdString());
    return dep.Open(false) && edit(dep);
}

bool WriteTile(CIdxFileDepository& dep, long long slot, QByteArray bytes) {
    return dep.WriteBuffer(slot, reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), true);
}

Slots ReadSlots(const QString& idxPath) {
    Slots s;
    CIdxFileDepository dep;
    dep.SetIndexFile(idxPath.toStdString());
    if (!dep.Open(true)) return s;
    const CDatIndexConvert& conv = dep.GetIndexConverter();
    for (int level : dep.GetLevelList()) {
        CTileKey minKey, maxKey;
        if (!conv.GetTileBound(minKey, maxKey, level)) continue;
        const long long first = conv.GetTileNumberUtilLevel(level - 1) + 1;
        const int cols = maxKey.GetTileX() - minKey.GetTileX() + 1;
        for (long long i = 0, slot = first; i < conv.GetTileNumber(level); ++i, ++slot) {
            const Key key(level - 1, minKey.GetTileX() + int(i % cols), minKey.GetTileY() + int(i / cols));
            E_QUERY_RESULT result = QUERY_UNKNOWN;
            const CCache c = dep.ReadBuffer(result, slot);
            if (result == QUERY_OK) s.tiles.insert(key, QByteArray(reinterpret_cast<const char*>(c.GetData()), c.GetLength()));
            s.states.insert(key, dep.GetFileIndexStatus(slot));
            s.numbers.insert(key, slot);
        }
    }
    return s;
}

QStringList Sql(const QString& file, const QString& query) {
    QStringList rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, query.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW) {
                QStringList columns;
                for (int c = 0; c < sqlite3_column_count(st); ++c)
                    columns << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)));
                rows << columns.join('|');
            }
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

CChildServer::CChildServer(const QString& program, QStringList args, const std::function<bool(quint16)>& prepare) {
    // A free port: bound, released, then taken by the server.
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return;
    const quint16 port = probe.serverPort();
    probe.close();
    if (prepare && !prepare(port)) return;
    for (QString& a : args) a.replace("%1", QString::number(port));
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(program, args);
    QElapsedTimer waited;
    waited.start();
    while (m_process.waitForStarted(30000) && m_process.state() == QProcess::Running && waited.elapsed() < 30000) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (s.waitForConnected(200)) {
            m_port = port;
            return;
        }
    }
}

CChildServer::~CChildServer() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.terminate();
    if (!m_process.waitForFinished(30000)) m_process.kill();
    m_process.waitForFinished(30000);
}

std::unique_ptr<CChildServer> StartNginx(const QString& root, const QString& work) {
    const QString nginx = QStandardPaths::findExecutable(QStringLiteral("nginx"), {"/usr/sbin", "/usr/bin"});
    if (nginx.isEmpty()) return nullptr;
    // Its workers may run as another user: the folders must be open to them.
    for (QString dir = root; dir.startsWith(work); dir = QFileInfo(dir).path())
        QFile::setPermissions(dir, QFile::permissions(dir) | QFileDevice::ReadOther | QFileDevice::ExeOther);
    const QString conf = work + "/nginx.conf";
    // Five requests per connection: a client must notice the close and open another.
    return std::make_unique<CChildServer>(nginx, QStringList{"-p", work, "-c", conf, "-e", work + "/error.log"}, [&](quint16 port) {
        return WriteFile(conf, QStringLiteral("worker_processes 1;\ndaemon off;\npid %1/nginx.pid;\nerror_log %1/error.log;\n"
                                              "events { worker_connections 64; }\nhttp {\n  access_log off;\n  keepalive_requests 5;\n"
                                              "  client_body_temp_path %1/tmp; proxy_temp_path %1/tmp; fastcgi_temp_path %1/tmp;\n"
                                              "  uwsgi_temp_path %1/tmp; scgi_temp_path %1/tmp;\n"
                                              "  server { listen 127.0.0.1:%2; root %3; default_type image/png; }\n}\n")
                                   .arg(work).arg(port).arg(root).toUtf8());
    });
}

}  // namespace VtTest
