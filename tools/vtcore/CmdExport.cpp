#include "storage/IdxFileDepository.h"
#include "tools/vtcore/Commands_p.h"
#include "tools/vtcore/DepositoryLock.h"
#include "tools/vtcore/TileExport.h"
#include "tools/vtcore/Vtcore.h"

#include <QFileInfo>

namespace VtCli {

int CmdExport(const QStringList& args, Io& io) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a depository's tiles as an MBTiles 1.3 file (Web Mercator tiles, TMS rows) or as a "
        "<zoom>/<column>/<row> tree. Zoom levels are zero-based: depository level 1 is zoom 0."));
    parser.addPositionalArgument(QStringLiteral("depository"), QStringLiteral("Index file."));
    parser.addOption({QStringLiteral("format"), QStringLiteral("mbtiles (default) or xyz."), QStringLiteral("format"),
                      QStringLiteral("mbtiles")});
    parser.addOption({QStringLiteral("output"), QStringLiteral("File (mbtiles) or folder (xyz) to write."),
                      QStringLiteral("path")});
    parser.addOption({QStringLiteral("name"), QStringLiteral("Tileset name (default: the depository's name)."),
                      QStringLiteral("name")});
    parser.addOption({QStringLiteral("overwrite"), QStringLiteral("Replace an existing MBTiles file.")});
    int code = kExitOk;
    if (!ParseCommand(parser, QStringLiteral("export"), args, io, code)) return code;
    if (parser.positionalArguments().size() != 1) return Fail(io, QStringLiteral("export: give one depository"));
    const QString format = parser.value(QStringLiteral("format"));
    if (format != QLatin1String("mbtiles") && format != QLatin1String("xyz"))
        return Fail(io, QStringLiteral("export: unknown format '%1' (mbtiles or xyz)").arg(format));
    if (!parser.isSet(QStringLiteral("output"))) return Fail(io, QStringLiteral("export: --output is required"));
    const QString idxPath = DepositoryPath(parser.positionalArguments().first());
    if (!QFileInfo::exists(idxPath)) return Fail(io, QStringLiteral("no depository %1").arg(idxPath));
    QString error;
    // No download may append while the tiles are read: the export would mix two states. A
    // depository in a folder the lock cannot be made in (read-only media) has no writer to fear.
    CDepositoryLock lock;
    if (!lock.Acquire(idxPath, error) && lock.InUse()) return Fail(io, error);
    if (!CheckIndexFile(idxPath, error)) return Fail(io, error);
    CIdxFileDepository dep;
    dep.SetIndexFile(DepositoryPath8(idxPath));
    if (!dep.Open(true)) return Fail(io, QStringLiteral("%1 is not a readable depository").arg(idxPath));
    const QString output = QFileInfo(parser.value(QStringLiteral("output"))).absoluteFilePath();
    const QString name = parser.isSet(QStringLiteral("name")) ? parser.value(QStringLiteral("name"))
                                                              : QFileInfo(idxPath).completeBaseName();
    ExportCounts counts;
    const bool ok = format == QLatin1String("mbtiles")
                        ? ExportMbtiles(dep, output, parser.isSet(QStringLiteral("overwrite")), name, counts, error)
                        : ExportXyz(dep, output, counts, error);
    if (!ok) return Fail(io, error);
    if (counts.tiles == 0) {
        io.err << "vtcore: nothing exported: " << idxPath << " holds no readable tile"
               << (counts.skipped > 0 ? QStringLiteral(" (%1 could not be read)").arg(FormatCount(counts.skipped))
                                      : QString())
               << "; " << output << " was not written\n";
        return kExitIncomplete;
    }
    io.out << "exported   " << FormatCount(counts.tiles) << " tiles (" << FormatCount(counts.bytes) << " bytes, zoom "
           << counts.minZoom << ".." << counts.maxZoom << ") to " << output << "\n";
    if (counts.skipped > 0) {
        io.out << "skipped    " << FormatCount(counts.skipped)
               << " tiles that could not be read (damaged depository; vtcore verify names them)\n";
        return kExitIncomplete;
    }
    return kExitOk;
}

}  // namespace VtCli
