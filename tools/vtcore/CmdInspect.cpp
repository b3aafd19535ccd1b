#include "core/Tools.h"
#include "storage/IdxFileDepository.h"
#include "core/TextConvert.h"
#include "tools/vtcore/Commands_p.h"
#include "tools/vtcore/DepositoryLock.h"
#include "tools/vtcore/Downloader.h"
#include "tools/vtcore/Vtcore.h"

#include <QFileInfo>
#include <QImage>

#include <algorithm>
#include <map>
#include <vector>

namespace VtCli {
namespace {

// Problems printed one by one; the rest are only counted.
constexpr int kMaxListedProblems = 50;

bool OpenDepository(const QString& argument, bool readOnly, CIdxFileDepository& dep, QString& idxPath, Io& io) {
    idxPath = DepositoryPath(argument);
    if (!QFileInfo::exists(idxPath)) {
        Fail(io, QStringLiteral("no depository %1").arg(idxPath));
        return false;
    }
    QString error;
    if (!CheckIndexFile(idxPath, error)) {
        Fail(io, error);
        return false;
    }
    dep.SetIndexFile(DepositoryPath8(idxPath));
    if (!dep.Open(readOnly)) {
        Fail(io, QStringLiteral("%1 is not a readable depository (see the log for the reason)").arg(idxPath));
        return false;
    }
    return true;
}

struct LevelSlots {
    int level = 0;
    long long first = 0;  // first slot
    long long count = 0;
};

std::vector<LevelSlots> SelectedLevels(CIdxFileDepository& dep) {
    std::vector<int> levels = dep.GetLevelList();
    std::sort(levels.begin(), levels.end());
    const CDatIndexConvert& conv = dep.GetIndexConverter();
    std::vector<LevelSlots> out;
    for (int l : levels) out.push_back(LevelSlots{l, conv.GetTileNumberUtilLevel(l - 1) + 1, conv.GetTileNumber(l)});
    return out;
}

// Every level the index holds, selected or not: 1 to the deepest selected level.
std::vector<LevelSlots> IndexLevels(CIdxFileDepository& dep) {
    const std::vector<int> selected = dep.GetLevelList();
    const int deepest = selected.empty() ? 0 : *std::max_element(selected.begin(), selected.end());
    const CDatIndexConvert& conv = dep.GetIndexConverter();
    std::vector<LevelSlots> out;
    for (int l = 1; l <= deepest; ++l)
        out.push_back(LevelSlots{l, conv.GetTileNumberUtilLevel(l - 1) + 1, conv.GetTileNumber(l)});
    return out;
}

QString SlotText(CIdxFileDepository& dep, long long slot) {
    const CTileKey key = dep.GetIndexConverter().ConvertToTileKey(slot);  // one-based
    return QStringLiteral("slot %1 (level %2, column %3, row %4)")
        .arg(slot)
        .arg(key.GetLevel())
        .arg(key.GetTileX() - 1)
        .arg(key.GetTileY() - 1);
}

}  // namespace

int CmdInfo(const QStringList& args, Io& io) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A depository's description and the states of its slots."));
    parser.addPositionalArgument(QStringLiteral("depository"), QStringLiteral("Index file."));
    int code = kExitOk;
    if (!ParseCommand(parser, QStringLiteral("info"), args, io, code)) return code;
    if (parser.positionalArguments().size() != 1) return Fail(io, QStringLiteral("info: give one depository"));
    CIdxFileDepository dep;
    QString idxPath;
    if (!OpenDepository(parser.positionalArguments().first(), true, dep, idxPath, io)) return kExitError;
    QTextStream& out = io.out;
    const STRUCT_DOWNLOAD_TASK task = dep.GetDatFileInfo();
    const QString datPath = ConvertStdStringToQString(dep.GetDATFile(), "GB18030");
    const qint64 datSize = QFileInfo(datPath).size();
    const qint64 idxSize = QFileInfo(idxPath).size();
    out << "depository " << idxPath << "\n";
    out << "data file  " << datPath << " (" << FormatCount(datSize) << " bytes)\n";
    out << "map type   " << MapTypeText(task.maptype) << " ("
        << TileModelText(dep.GetIndexConverter().GetTileModel()) << " tiles)\n";
    out << "header\n";
    for (const QString& line : QString::fromStdString(dep.GetDescription()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        // The header's own text leaves the extent's bracket open.
        if (line.startsWith(QLatin1String("extent[")) && !line.endsWith(QLatin1Char(']'))) out << "  " << line << "]\n";
        else out << "  " << line << "\n";
    }
    out << QString::asprintf("%5s %5s %12s %12s %12s %12s %12s %12s %12s\n", "level", "zoom", "slots", "stored",
                             "waiting", "failed", "absent", "damaged", "outside");
    // Slots past the end of a cut index, and slots whose bytes lie past the end of the data file
    // (or have an impossible length), are damaged: their tiles cannot be read.
    const long long indexSlots = idxSize / CIdxFileDepository::kSlotSize;
    long long cutSlots = 0;
    long long brokenTiles = 0;
    constexpr int kColumns = 7;
    long long totals[kColumns] = {};
    long long other = 0;
    const auto row = [](long long (&n)[kColumns]) {
        QString text;
        for (long long v : n) text += QString::asprintf(" %12s", qPrintable(FormatCount(v)));
        return text;
    };
    for (const LevelSlots& ls : SelectedLevels(dep)) {
        long long n[kColumns] = {ls.count};
        for (long long s = ls.first; s < ls.first + ls.count; ++s) {
            long long mapId = 0;
            long long offset = 0;
            int length = 0;
            if (s > indexSlots || !dep.GetIndexInfo(mapId, offset, length, s)) {
                ++cutSlots;
                ++n[5];
                continue;
            }
            if (offset >= 100) {
                if (length < 1 || length > CIdxFileDepository::kMaxTileLength || offset + length > datSize) {
                    ++brokenTiles;
                    ++n[5];
                } else {
                    ++n[1];
                }
                continue;
            }
            switch (offset) {
            case BLOCK_WAITING: ++n[2]; break;
            case BLOCK_EMPTY: ++n[3]; break;
            case kBlockAbsent: ++n[4]; break;
            case BLOCK_DAMAGED: ++n[5]; break;
            case BLOCK_SKIPPED_LEVEL: ++n[6]; break;
            default: ++other; break;
            }
        }
        for (int i = 0; i < kColumns; ++i) totals[i] += n[i];
        out << QString::asprintf("%5d %5d", ls.level, ls.level - 1) << row(n) << "\n";
    }
    out << QString::asprintf("%11s", "total") << row(totals) << "\n";
    if (other > 0) out << FormatCount(other) << " slots in an unknown state (run vtcore verify)\n";
    if (cutSlots > 0)
        out << "damaged    index file cut short: " << FormatCount(idxSize) << " of "
            << FormatCount(dep.GetMaxIndex() * CIdxFileDepository::kSlotSize) << " bytes; " << FormatCount(cutSlots)
            << " slots of the selected levels are missing (vtcore download fetches them again)\n";
    if (brokenTiles > 0)
        out << "damaged    " << FormatCount(brokenTiles) << " tiles point past the data file's end or have an "
            << "impossible length (vtcore verify --repair marks them for download)\n";
    return cutSlots + brokenTiles == 0 ? kExitOk : kExitIncomplete;
}

int CmdVerify(const QStringList& args, Io& io) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Checks every slot of a depository: map IDs, offsets and lengths inside the data file, tiles that "
        "decode. --repair marks damaged tiles so that download fetches them again."));
    parser.addPositionalArgument(QStringLiteral("depository"), QStringLiteral("Index file."));
    parser.addOption({QStringLiteral("repair"), QStringLiteral("Mark damaged tiles for download.")});
    int code = kExitOk;
    if (!ParseCommand(parser, QStringLiteral("verify"), args, io, code)) return code;
    if (parser.positionalArguments().size() != 1) return Fail(io, QStringLiteral("verify: give one depository"));
    const bool repair = parser.isSet(QStringLiteral("repair"));
    // Repairing writes slots: one writer at a time.
    CDepositoryLock lock;
    QString error;
    const QString lockPath = DepositoryPath(parser.positionalArguments().first());
    if (repair && QFileInfo::exists(lockPath) && !lock.Acquire(lockPath, error)) return Fail(io, error);
    CIdxFileDepository dep;
    QString idxPath;
    if (!OpenDepository(parser.positionalArguments().first(), !repair, dep, idxPath, io)) return kExitError;

    const qint64 datSize = QFileInfo(QString::fromLocal8Bit(dep.GetDATFile().c_str())).size();
    const qint64 idxSize = QFileInfo(idxPath).size();
    const bool elevation = Tools::isDem(dep.GetMapType(), -1);
    long long problems = 0;
    long long repaired = 0;
    long long tiles = 0;
    long long checked = 0;
    auto report = [&](const QString& text) {
        if (++problems <= kMaxListedProblems) io.out << text << "\n";
    };
    const long long expectedSlots = dep.GetMaxIndex();
    if (idxSize != expectedSlots * CIdxFileDepository::kSlotSize)
        report(QStringLiteral("index file holds %1 bytes, %2 slots need %3")
                   .arg(idxSize)
                   .arg(expectedSlots)
                   .arg(expectedSlots * CIdxFileDepository::kSlotSize));
    std::vector<unsigned char> buffer(CIdxFileDepository::kTravelBuffer);
    for (const LevelSlots& ls : IndexLevels(dep)) {
        for (long long slot = ls.first; slot < ls.first + ls.count; ++slot) {
            ++checked;
            long long mapId = 0;
            long long offset = 0;
            int length = 0;
            if (!dep.GetIndexInfo(mapId, offset, length, slot)) {
                report(SlotText(dep, slot) + QStringLiteral(": cannot be read"));
                continue;
            }
            long long expectedId = 0;
            int level = 0;
            dep.ConvertDatIndexToMapIndex(expectedId, level, slot);
            // A slot past a short index reads as zeros; the size check above reports that once.
            if (mapId != expectedId && !(mapId == 0 && offset == 0 && length == 0)) {
                report(SlotText(dep, slot) + QStringLiteral(": holds map ID %1, expected %2").arg(mapId).arg(expectedId));
                continue;  // the slot belongs to another tile: marking it would not help
            }
            QString problem;
            if (offset < 0 || (offset < 100 && offset != BLOCK_EMPTY && offset != BLOCK_WAITING &&
                               offset != BLOCK_DAMAGED && offset != BLOCK_SKIPPED_LEVEL && offset != BLOCK_HAS_DATA &&
                               offset != kBlockAbsent)) {
                problem = QStringLiteral("unknown state %1").arg(offset);
            } else if (offset == BLOCK_HAS_DATA) {
                problem = QStringLiteral("state %1 claims data but points at no tile bytes").arg(offset);
            } else if (offset >= 100) {
                ++tiles;
                if (length < 1 || length > CIdxFileDepository::kTravelBuffer - 1)
                    problem = QStringLiteral("tile length %1 out of range").arg(length);
                else if (offset + length > datSize)
                    problem = QStringLiteral("tile bytes %1..%2 lie beyond the data file's end (%3)")
                                  .arg(offset)
                                  .arg(offset + length)
                                  .arg(datSize);
                else if (dep.ReadBuffer(slot, buffer.data(), int(buffer.size())) != length)
                    problem = QStringLiteral("tile bytes cannot be read");
                else if (!elevation) {
                    // The image libraries' own complaints ("libpng error: ...") become part of the
                    // problem line instead of raw lines on standard error.
                    bool decoded = false;
                    const QByteArray said =
                        CaptureStderr([&] { decoded = !QImage::fromData(buffer.data(), length).isNull(); });
                    if (!decoded) {
                        problem = QStringLiteral("tile of %1 bytes is not a decodable image").arg(length);
                        const QByteArray first = said.left(said.indexOf('\n')).trimmed();
                        if (!first.isEmpty()) problem += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(first));
                    }
                }
            }
            if (problem.isEmpty()) continue;
            QString line = SlotText(dep, slot) + QStringLiteral(": ") + problem;
            if (repair) {
                if (dep.SetFileIndexStatus(slot, BLOCK_DAMAGED, false)) {
                    ++repaired;
                    line += QStringLiteral(" (marked for download)");
                } else {
                    line += QStringLiteral(" (could not be marked)");
                }
            }
            report(line);
        }
    }
    if (repair) dep.FlushIdxFile();
    if (problems > kMaxListedProblems) io.out << "... and " << FormatCount(problems - kMaxListedProblems) << " more\n";
    io.out << "checked    " << FormatCount(checked) << " slots, " << FormatCount(tiles) << " tiles\n";
    io.out << "problems   " << FormatCount(problems);
    if (repair) io.out << ", " << FormatCount(repaired) << " marked for download";
    io.out << "\n";
    if (problems == 0) io.out << "result     ok\n";
    return problems == 0 || (repair && repaired == problems) ? kExitOk : kExitIncomplete;
}

}  // namespace VtCli
