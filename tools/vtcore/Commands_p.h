#pragma once

// Shared pieces of the command implementations (internal to the tool).
#include "tools/vtcore/CliParse.h"
#include "tools/vtcore/Region.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <string>

namespace VtCli {

struct Io {
    QTextStream& out;
    QTextStream& err;
};

// Map type of tiles without a catalogue source: the custom Web Mercator map.
constexpr int kDefaultMapType = 602;

int CmdPlan(const QStringList& args, Io& io);
int CmdDownload(const QStringList& args, Io& io);
int CmdInfo(const QStringList& args, Io& io);
int CmdVerify(const QStringList& args, Io& io);
int CmdExport(const QStringList& args, Io& io);
int CmdTasks(const QStringList& args, Io& io);
int CmdConvert(const QStringList& args, Io& io);
int CmdSheet(const QStringList& args, Io& io);
int CmdServe(const QStringList& args, Io& io);

// Parses a command's arguments; on failure (or --help) prints and returns false with `code` set.
bool ParseCommand(QCommandLineParser& parser, const QString& command, const QStringList& args, Io& io,
                  int& code);
// Prints "vtcore: <text>" to the error stream and returns kExitError.
int Fail(Io& io, const QString& text);
// Prints "vtcore: interrupted" (and "; <text>" when given) and returns kExitInterrupted.
int Interrupted(Io& io, const QString& text = QString());

// The region options (--extent, --geojson, --area, --sheet, --region-db, --region-datum).
void AddRegionOptions(QCommandLineParser& parser);
bool HasRegionOption(const QCommandLineParser& parser);
// The region named by the options, moved into the datum of the map's tiles.
bool RegionFromOptions(const QCommandLineParser& parser, Datum target, Region& region,
                       QString& error);

// The index-file path of a depository argument, absolute: ".idx" appended to a name without
// suffix, and the index beside a data file (".dat") named instead.
QString DepositoryPath(const QString& argument);
// False with a reason when the file at an index path is a depository's data file.
bool CheckIndexFile(const QString& idxPath, QString& error);
// A path as the depository takes it (GB18030 bytes); empty when the path cannot be written so.
std::string DepositoryPath8(const QString& path);
// Display texts.
QString MapTypeText(int mapType);
QString TileModelText(int tileModel);
QString StateText(int taskState);
QString FormatCount(long long n);

}  // namespace VtCli
