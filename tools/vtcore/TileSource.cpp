#include "tools/vtcore/TileSource.h"

#include "tools/vtcore/GridTile.h"

#include <QUrl>

namespace VtCli {
namespace {

class CGridSource : public ITileSource {
public:
    QString Describe() const override { return QStringLiteral("grid (tiles drawn locally)"); }
    bool IsLocal() const override { return true; }
    QByteArray Render(const TileJob& job) const override { return RenderGridTile(job.level - 1, job.x, job.y); }
    QNetworkRequest Request(const TileJob&) const override { return QNetworkRequest(); }
};

}  // namespace

std::unique_ptr<ITileSource> MakeGridSource() { return std::make_unique<CGridSource>(); }

QByteArray DefaultUserAgent() { return QByteArrayLiteral("vtcore/1.4.1 (VtCore141 command-line tool)"); }

}  // namespace VtCli
