#include "tools/vtcore/TileSource.h"

#include "catalog/CustomMapManager.h"
#include "core/TextConvert.h"
#include "core/Tools.h"
#include "tile/BaiduToConvert.h"
#include "tools/vtcore/GridTile.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>
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

// Brace forms of Tools::ReplaceUrlXYZ and the tool's own {q}, {quadkey} and {s}.
enum class Brace { Zoom, Column, Row, Quadkey, Subdomain, Unknown };

Brace Classify(const QString& token) {
    static const QRegularExpression zoom(QStringLiteral("^\\{[zZ]([+-]\\d+)?\\}$"));
    static const QRegularExpression column(QStringLiteral("^\\{(-?[xX]([+-]\\d+)?|[xX]/\\d+)\\}$"));
    static const QRegularExpression row(QStringLiteral("^\\{(-?[yY]([+-]\\d+)?|[yY]/\\d+)\\}$"));
    const QString lower = token.toLower();
    if (lower == QLatin1String("{q}") || lower == QLatin1String("{quadkey}")) return Brace::Quadkey;
    if (lower == QLatin1String("{s}")) return Brace::Subdomain;
    if (zoom.match(token).hasMatch()) return Brace::Zoom;
    if (column.match(token).hasMatch()) return Brace::Column;
    if (row.match(token).hasMatch()) return Brace::Row;
    return Brace::Unknown;
}

class CUrlTemplateSource : public ITileSource {
public:
    CUrlTemplateSource(const QString& urlTemplate, bool halfRows, const HeaderList& headers,
                       const QStringList& subdomains)
        : m_template(urlTemplate),
          m_halfRows(halfRows),
          m_headers(headers),
          m_subdomains(subdomains.isEmpty() ? QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}
                                            : subdomains),
          m_localPath(!urlTemplate.contains(QLatin1String("://"))) {}

    // Every brace must be a placeholder, and together they must name one tile.
    bool Check(QString& error) {
        bool zoom = false, column = false, row = false, quadkey = false;
        for (int open = m_template.indexOf(QLatin1Char('{')); open >= 0;
             open = m_template.indexOf(QLatin1Char('{'), open + 1)) {
            const int close = m_template.indexOf(QLatin1Char('}'), open);
            const int nested = m_template.indexOf(QLatin1Char('{'), open + 1);
            if (close < 0 || (nested >= 0 && nested < close)) {
                error = QStringLiteral("the URL template has a '{' without its '}'");
                return false;
            }
            const QString token = m_template.mid(open, close - open + 1);
            switch (Classify(token)) {
            case Brace::Zoom: zoom = true; break;
            case Brace::Column: column = true; break;
            case Brace::Row: row = true; break;
            case Brace::Quadkey: quadkey = m_hasQuadkey = true; break;
            case Brace::Subdomain: m_hasSubdomain = true; break;
            case Brace::Unknown:
                error = QStringLiteral("unknown placeholder %1 in the URL template (known: {z} {x} {y}, with offsets "
                                       "such as {z+1}, flips {-x} {-y}, divisions {x/2}; {q} or {quadkey}; {s})")
                            .arg(token);
                return false;
            }
        }
        if (m_template.indexOf(QLatin1Char('}')) >= 0 && m_template.count(QLatin1Char('}')) != m_template.count(QLatin1Char('{'))) {
            error = QStringLiteral("the URL template has a '}' without its '{'");
            return false;
        }
        if (!quadkey && !(zoom && column && row)) {
            error = QStringLiteral("the URL template names no tile: it needs {z}, {x} and {y} (or {q}), as in "
                                   "https://host/{z}/{x}/{y}.png; without them every tile would be the same");
            return false;
        }
        for (const QString& s : m_subdomains) {
            if (s.isEmpty() || s.contains(QLatin1Char('{'))) {
                error = QStringLiteral("empty or braced subdomain in '%1'").arg(m_subdomains.join(QLatin1Char(',')));
                return false;
            }
        }
        // The expander replaces the first form of each coordinate only; anything left would be sent as it is.
        const QString sample = Expand(TileJob{1, 4, 1, 2});
        const int left = sample.indexOf(QLatin1Char('{'));
        if (left >= 0) {
            error = QStringLiteral("placeholder %1 of the URL template cannot be expanded (use one form of each "
                                   "coordinate, and no division by 0)")
                        .arg(sample.mid(left, sample.indexOf(QLatin1Char('}'), left) - left + 1));
            return false;
        }
        return true;
    }
    bool HasSubdomain() const { return m_hasSubdomain; }

    QString Describe() const override { return m_template; }
    bool IsLocal() const override { return false; }
    QByteArray Render(const TileJob&) const override { return QByteArray(); }
    QNetworkRequest Request(const TileJob& job) const override {
        const QString url = Expand(job);
        QNetworkRequest request(m_localPath ? QUrl::fromLocalFile(url) : QUrl(url));
        AddHeaders(request, m_headers);
        return request;
    }

private:
    QString Expand(const TileJob& job) const {
        QString url = m_template;
        if (m_hasQuadkey) {
            const QString key = Quadkey(job.level - 1, job.x, job.y);
            url.replace(QLatin1String("{quadkey}"), key, Qt::CaseInsensitive);
            url.replace(QLatin1String("{q}"), key, Qt::CaseInsensitive);
        }
        if (m_hasSubdomain) {
            const long long pick = (static_cast<long long>(job.x) + job.y) % m_subdomains.size();
            url.replace(QLatin1String("{s}"), m_subdomains.at(int(pick < 0 ? -pick : pick)), Qt::CaseInsensitive);
        }
        Tools::ReplaceUrlXYZ(url, job.x, job.y, job.level - 1, m_halfRows);
        return url;
    }

    QString m_template;
    bool m_halfRows;
    HeaderList m_headers;
    QStringList m_subdomains;
    bool m_localPath;  // a plain path: the tiles are files
    bool m_hasQuadkey = false;
    bool m_hasSubdomain = false;
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
                                                   const HeaderList& headers, const QStringList& subdomains,
                                                   QString& error) {
    auto source = std::make_unique<CUrlTemplateSource>(urlTemplate, halfRows, headers, subdomains);
    if (!source->Check(error)) return nullptr;
    if (!subdomains.isEmpty() && !source->HasSubdomain()) {
        error = QStringLiteral("--subdomains needs {s} in the URL template");
        return nullptr;
    }
    return source;
}

QString Quadkey(int zoom, int x, int y) {
    QString key;
    key.reserve(std::max(0, zoom));
    for (int i = std::min(zoom, 31); i > 0; --i) {
        const unsigned mask = 1u << (i - 1);
        key += QLatin1Char(char('0' + ((unsigned(x) & mask) ? 1 : 0) + ((unsigned(y) & mask) ? 2 : 0)));
    }
    return key;
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
    auto source = std::make_unique<CUrlTemplateSource>(url, info.IsWGS84(), all, QStringList());
    if (!source->Check(error)) {
        error = QStringLiteral("custom map %1: %2").arg(key).arg(error);
        return false;
    }
    out.source = std::move(source);
    return true;
}

std::unique_ptr<ITileSource> MakeGridSource() { return std::make_unique<CGridSource>(); }

QByteArray DefaultUserAgent() { return QByteArrayLiteral("vtcore/1.4.1 (VtCore141 command-line tool)"); }

}  // namespace VtCli
