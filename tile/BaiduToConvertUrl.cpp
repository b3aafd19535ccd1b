#include "tile/BaiduToConvert.h"

#include "catalog/MapTypeManager.h"
#include "tile/BaiduGrid_p.h"
#include "tile/BaiduSettings_p.h"
#include "tile/TileModelMath_p.h"

#include <cstdlib>

using namespace vt_tile;

namespace {

constexpr int kMaxUrlLevel = 21;

// Paths and queries after the host: %2 column, %3 row, %4 zoom (%1 .. %3 in the named styles).
const char* const kSatellitePath =
    "/starpic/?qt=satepc&u=x=%2;y=%3;z=%4;v=009;type=sate&fm=46&app=webearth2&v=009&udt=20200709";
const char* const kLabelPath = "/tile/?qt=vtile&x=%2&y=%3&z=%4&styles=sl&udt=20200709";
const char* const kBigLabelPath = "/it/u=x=%2;y=%3;z=%4;type=web&fm=43";
const char* const kBigStreetPath = "/it/u=x=%2;y=%3;z=%4;type=web&fm=41";
const char* const kStreetPath = "/tile/?qt=vtile&x=%2&y=%3&z=%4&styles=pl&scaler=1&udt=20191224";
const char* const kNamedStylePath = "/customimage/tile?&x=%1&y=%2&z=%3&udt=20191224&scale=1&customid=";
const char* const kLightStylePath = "/customimage/tile?&x=%2&y=%3&z=%4&udt=20190521&scale=1&customid=light";

// Styles 1..11 of the custom-image service.
const char* const kStyleNames[] = {"light",    "dark",   "redalert", "googlelite", "grassgreen", "midnight",
                                   "pink",     "darkgreen", "bluish", "grayscale", "hardedge"};
constexpr int kFirstKeyedStyle = 12;
constexpr int kLastKeyedStyle = 15;

enum class AccessKey { A, B, C };

// Styles 12..15: the path up to the access key, the key, and the style list that follows it
// (decoded; written percent-encoded), if any.
struct KEYED_STYLE {
    const char* szPathBeforeKey;
    AccessKey eKey;
    const char* szStyleList;
};

const KEYED_STYLE kKeyedStyles[] = {
    {"/customimage/tile?&x=%2&y=%3&z=%4&udt=20180930&scale=1&ak=", AccessKey::A,
     "t:all|e:all|l:10|s:-100,t:poi|e:l|v:off,t:administrative|e:l|v:off,t:road|e:l|v:off,t:building|e:all|"
     "v:off,t:arterial|e:l|v:off,t:poi|e:all|v:off,t:local|e:l|v:off,t:subway|e:all|v:off,t:manmade|e:all|"
     "v:off,t:medicallabel|e:l|v:off"},
    {"/customimage/tile?&x=%2&y=%3&z=%4&udt=20180930&scale=1&ak=", AccessKey::B,
     "t:water|e:all|c:#021019,t:highway|e:g.f|c:#000000,t:highway|e:g.s|c:#147a92,t:arterial|e:g.f|"
     "c:#000000,t:arterial|e:g.s|c:#0b3d51,t:local|e:g|c:#000000,t:land|e:all|c:#08304b,t:railway|e:g.f|"
     "c:#000000,t:railway|e:g.s|c:#08304b,t:green|e:g|c:#062032,t:boundary|e:all|c:#1e1c1c,t:poi|e:l|v:off,"
     "t:administrative|e:l|v:off,t:road|e:l|v:off,t:building|e:all|v:off,t:arterial|e:l|v:off,t:poi|e:all|"
     "v:off,t:local|e:l|v:off,t:subway|e:all|v:off,t:manmade|e:all|v:off,t:medicallabel|e:l|v:off"},
    {"/customimage/tile?&x=%2&y=%3&z=%4&udt=20190528&scale=1&ak=", AccessKey::C,
     "t:poi|e:all|v:off,t:building|e:all|c:#000000,t:local|e:l|v:off,t:subway|e:all|v:off,t:arterial|e:l|"
     "v:off,t:manmade|e:all|v:off,t:building|e:all|c:#EEE9E9,t:highway|e:l|v:off,t:label|e:l|v:off"},
    {"/customimage/tile?&x=%2&y=%3&z=%4&udt=20190521&scale=1&ak=", AccessKey::C, nullptr},
};

// While the application shows one of these map types every street-map style is the plain one.
constexpr int kPlainStreetMapTypes[] = {205, 206, 207, 45};

// The Baidu tile of a general tile, or false when the level has no Baidu URL or the tile no number.
struct BAIDU_TILE {
    QString strX;
    QString strY;
    QString strZ;
};

bool BaiduTileOf(int gx, int gy, int level, BAIDU_TILE& tile)
{
    if (level < 2 || level > kMaxUrlLevel)
        return false;
    const int z = level - 1;
    CBaiduToConvert::tileToBdTile(gx, gy, z, tile.strX, tile.strY);
    tile.strZ = QString::number(z);
    return !tile.strX.isEmpty() && !tile.strY.isEmpty();
}

// The host with the server number where the configuration puts it.
QString Host(const QString& configured, int server)
{
    QString host = configured;
    return host.replace(QLatin1String("{s}"), QString::number(server));
}

QString Url(const QString& host, const char* path, const BAIDU_TILE& tile)
{
    return host + QString::fromLatin1(path).arg(tile.strX, tile.strY, tile.strZ);
}

// The four characters of the style lists that a URL must carry encoded.
QString PercentEncodeStyleList(const char* list)
{
    QString out;
    for (const char* p = list; *p != '\0'; ++p) {
        switch (*p) {
        case ':':
            out += QLatin1String("%3A");
            break;
        case '|':
            out += QLatin1String("%7C");
            break;
        case ',':
            out += QLatin1String("%2C");
            break;
        case '#':
            out += QLatin1String("%23");
            break;
        default:
            out += QLatin1Char(*p);
        }
    }
    return out;
}

const QString& KeyOf(const BAIDU_TILE_SETTINGS& s, AccessKey key)
{
    switch (key) {
    case AccessKey::A:
        return s.strKeyA;
    case AccessKey::B:
        return s.strKeyB;
    default:
        return s.strKeyC;
    }
}

bool ShowsPlainStreetMap()
{
    const int current = CMapTypeManager::getInstance()->getCurMaptype();
    for (int mapType : kPlainStreetMapTypes) {
        if (mapType == current)
            return true;
    }
    return false;
}

QString TileHostUrl(int gx, int gy, int level, const char* path)
{
    BAIDU_TILE tile;
    if (!BaiduTileOf(gx, gy, level, tile))
        return QString();
    return Url(Host(BaiduTileSettings().strTileHost, std::rand() % 9 + 1), path, tile);
}

}  // namespace

void CBaiduToConvert::tileToBdTile(int gx, int gy, int z, QString& bx, QString& by)
{
    const double n = BaiduHalfWidth(z);
    const int k = CheckTileCoordIsValid(gx, gy, z);
    if (k == 0) {
        GeneralTileToBdTile(gx, gy, z, bx, by);
        return;
    }
    // The general grid is wider: shift into Baidu's grid. The test is deliberately loose (either
    // axis inside is enough); a tile shifted beyond the grid then gets no numbers at all.
    const double x = gx;
    const double y = gy;
    if ((x > k || y > k) && (x <= 2 * n + k || y <= 2 * n + k)) {
        GeneralTileToBdTile(SaturateToInt(x - k), SaturateToInt(y - k), z, bx, by);
        return;
    }
    // A tile the service does not have; requested all the same, as the application always did.
    bx = QStringLiteral("M") + QString::number(n + 1, 'g', 6);
    by = QString::number(n, 'g', 6);
}

QString CBaiduToConvert::GetUrlFromTile(int gx, int gy, int L)
{
    BAIDU_TILE tile;
    if (!BaiduTileOf(gx, gy, L, tile))
        return QString();
    return Url(Host(BaiduTileSettings().strSatelliteHost, std::rand() % 3 + 1), kSatellitePath, tile);
}

QString CBaiduToConvert::GetLabelUrlFromTile(int gx, int gy, int L)
{
    return TileHostUrl(gx, gy, L, kLabelPath);
}

QString CBaiduToConvert::GetBIgLabelUrlFromTile(int gx, int gy, int L)
{
    return TileHostUrl(gx, gy, L, kBigLabelPath);
}

QString CBaiduToConvert::GetBIgElectronUrlFromTile(int gx, int gy, int L)
{
    return TileHostUrl(gx, gy, L, kBigStreetPath);
}

QString CBaiduToConvert::GetElectronUrlFromTile(int gx, int gy, int L, int style)
{
    if (style == 0 || ShowsPlainStreetMap())
        return TileHostUrl(gx, gy, L, kStreetPath);
    BAIDU_TILE tile;
    if (!BaiduTileOf(gx, gy, L, tile))
        return QString();
    const BAIDU_TILE_SETTINGS settings = BaiduTileSettings();
    if (style >= 1 && style < kFirstKeyedStyle)
        return Url(settings.strCustomImageHost, kNamedStylePath, tile) + QLatin1String(kStyleNames[style - 1]);
    const QString host = Host(settings.strCustomImageServerHost, std::rand() % 3);
    if (style < kFirstKeyedStyle || style > kLastKeyedStyle)
        return Url(host, kLightStylePath, tile);
    // The key and the style list are appended after the numbers are filled in, so a percent sign
    // in either is never taken for a placeholder.
    const KEYED_STYLE& keyed = kKeyedStyles[style - kFirstKeyedStyle];
    QString url = Url(host, keyed.szPathBeforeKey, tile) + KeyOf(settings, keyed.eKey);
    if (keyed.szStyleList != nullptr)
        url += QLatin1String("&styles=") + PercentEncodeStyleList(keyed.szStyleList);
    return url;
}
