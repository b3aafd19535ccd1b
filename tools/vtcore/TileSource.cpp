#include "tools/vtcore/TileSource.h"

#include "catalog/CustomMapManager.h"
#include "core/TextConvert.h"
#include "core/Tools.h"
#include "tile/BaiduToConvert.h"
#include "tools/vtcore/GridTile.h"

#include <QFileInfo>
#include <QUrl>

#include <mutex>

namespace VtCli {
namespace {

class CGridSource : public ITileSource {
public:
    QString Describe() const override { return QStringLiteral("grid (tiles drawn locally)"); }
    bool IsLocal() const override { return true; }
    QByteArray Render(const TileJob& job) const override { return RenderGridTile(job.level - 1, job.x, job.y); }
    QNetworkRequest Request(const TileJob&) const override { return QNetworkRequest(); }
};

void AddHeaders(QNetworkRequest& request, const HeaderList& headers) {
    for (const auto& h : headers) request.setRawHeader(h.first, h.second);
}

class CUrlTemplateSource : public ITileSource {
public:
    CUrlTemplateSource(const QString& urlTemplate, bool halfRows, const HeaderList& headers)
        : m_template(urlTemplate),
          m_halfRows(halfRows),
          m_headers(headers),
          m_localPath(!urlTemplate.contains(QLatin1String("://"))) {}
    QString Describe() const override { return m_template; }
    bool IsLocal() const override { return false; }
    QByteArray Render(const TileJob&) const override { return QByteArray(); }
    QNetworkRequest Request(const TileJob& job) const override {
        QString url = m_template;
        Tools::ReplaceUrlXYZ(url, job.x, job.y, job.level - 1, m_halfRows);
        QNetworkRequest request(m_localPath ? QUrl::fromLocalFile(url) : QUrl(url));
        AddHeaders(request, m_headers);
        return request;
    }

private:
    QString m_template;
    bool m_halfRows;
    HeaderList m_headers;
    bool m_localPath;  // a plain path: the tiles are files
};

class CBaiduSource : public ITileSource {
public:
    CBaiduSource(int mapType, int style, const HeaderList& headers)
        : m_mapType(mapType), m_style(style), m_headers(headers) {}
    QString Describe() const override { return QStringLiteral("Baidu tile services (map type %1)").arg(m_mapType); }
    bool IsLocal() const override { return false; }
    QByteArray Render(const TileJob&) const override { return QByteArray(); }
    QNetworkRequest Request(const TileJob& job) const override {
        // Baidu tiles stand under the general one-based tiles of the same level.
        const int gx = job.x + 1;
        const int gy = job.y + 1;
        QString url;
        {
            // The builders draw server numbers from the process-wide random generator.
            std::lock_guard<std::mutex> lock(m_mutex);
            url = Build(gx, gy, job.level);
        }
        QNetworkRequest request{QUrl(url)};
        AddHeaders(request, m_headers);
        return url.isEmpty() ? QNetworkRequest() : request;
    }
    static bool Supports(int mapType) { return !BuildFor(mapType, 0, 1, 1, 2).isNull(); }

private:
    QString Build(int gx, int gy, int level) const { return BuildFor(m_mapType, m_style, gx, gy, level); }
    // A null string for a type without a builder, "" for a tile without a URL.
    static QString BuildFor(int mapType, int style, int gx, int gy, int level) {
        QString url;
        switch (mapType) {
        case 44: case 144: url = CBaiduToConvert::GetUrlFromTile(gx, gy, level); break;
        case 46: url = CBaiduToConvert::GetLabelUrlFromTile(gx, gy, level); break;
        case 146: url = CBaiduToConvert::GetBIgLabelUrlFromTile(gx, gy, level); break;
        case 145: url = CBaiduToConvert::GetBIgElectronUrlFromTile(gx, gy, level); break;
        case 45: case 205: case 206: url = CBaiduToConvert::GetElectronUrlFromTile(gx, gy, level, 0); break;
        case 47: url = CBaiduToConvert::GetElectronUrlFromTile(gx, gy, level, style); break;
        default: return QString();
        }
        return url.isNull() ? QStringLiteral("") : url;
    }

    int m_mapType;
    int m_style;
    HeaderList m_headers;
    mutable std::mutex m_mutex;
};

}  // namespace

std::unique_ptr<ITileSource> MakeUrlTemplateSource(const QString& urlTemplate, bool halfRows,
                                                   const HeaderList& headers) {
    return std::make_unique<CUrlTemplateSource>(urlTemplate, halfRows, headers);
}

std::unique_ptr<ITileSource> MakeBaiduSource(int mapType, int style, const HeaderList& headers) {
    if (!CBaiduSource::Supports(mapType)) return nullptr;
    return std::make_unique<CBaiduSource>(mapType, style, headers);
}

bool MakeCustomMapSource(const QString& catalogueFile, int key, const HeaderList& headers, CustomMapSource& out,
                         QString& error) {
    if (!QFileInfo::exists(catalogueFile)) {
        error = QStringLiteral("no custom map catalogue %1").arg(catalogueFile);
        return false;
    }
    CCustomMapManager maps(catalogueFile);
    maps.SetFilePath(QString());  // a download only reads the catalogue: nothing is saved back
    const auto it = maps.constFind(key);
    if (it == maps.constEnd() || !it->IsOnline()) {
        error = QStringLiteral("%1 holds no online custom map under key %2").arg(catalogueFile).arg(key);
        return false;
    }
    const CCustomMapInfo info = it->ToCustomMapInfo();
    const QString url = ConvertStdStringToQString(info.GetMapUrl(), "GB18030");
    if (url.isEmpty()) {
        error = QStringLiteral("custom map %1 has no URL template").arg(key);
        return false;
    }
    HeaderList all = headers;
    const QByteArray referer = QByteArray::fromStdString(info.GetInfoReferer());
    const QByteArray host = QByteArray::fromStdString(info.GetInfoHost());
    if (!referer.isEmpty()) all.prepend({QByteArrayLiteral("Referer"), referer});
    if (!host.isEmpty()) all.prepend({QByteArrayLiteral("Host"), host});
    out.mapType = info.IsWGS84() ? 601 : 602;
    out.offsetKind = info.IsBD09() ? 2 : info.IsOffset() ? 1 : 0;
    out.elevation = info.IsDem();
    out.name = it->Name();
    // Geographic tiles have half as many rows as columns.
    out.source = std::make_unique<CUrlTemplateSource>(url, info.IsWGS84(), all);
    return true;
}

std::unique_ptr<ITileSource> MakeGridSource() { return std::make_unique<CGridSource>(); }

QByteArray DefaultUserAgent() { return QByteArrayLiteral("vtcore/1.4.1 (VtCore141 command-line tool)"); }

}  // namespace VtCli
