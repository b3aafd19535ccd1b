#include "tile/BaiduSettings_p.h"

#include "catalog/MapSettingsLocation_p.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <mutex>

namespace {

const char* const kSettingsFile = "/baidu.ini";

struct SETTING_ROW {
    const char* szKey;
    QString BAIDU_TILE_SETTINGS::*pField;
    const char* szDefault;
};

// The public host names; no access key is built in.
const SETTING_ROW kRows[] = {
    {"baidu/satelliteHost", &BAIDU_TILE_SETTINGS::strSatelliteHost, "http://maponline{s}.bdimg.com"},
    {"baidu/tileHost", &BAIDU_TILE_SETTINGS::strTileHost, "http://online{s}.map.bdimg.com"},
    {"baidu/customImageHost", &BAIDU_TILE_SETTINGS::strCustomImageHost, "http://api.map.baidu.com"},
    {"baidu/customImageServerHost", &BAIDU_TILE_SETTINGS::strCustomImageServerHost, "http://api{s}.map.bdimg.com"},
    {"baidu/keyA", &BAIDU_TILE_SETTINGS::strKeyA, ""},
    {"baidu/keyB", &BAIDU_TILE_SETTINGS::strKeyB, ""},
    {"baidu/keyC", &BAIDU_TILE_SETTINGS::strKeyC, ""},
};

// What the cached settings were read from; a different stamp reads the file again.
struct FILE_STAMP {
    QString strPath;
    bool bExists = false;
    qint64 llModified = 0;  // ms since the epoch
    qint64 llSize = 0;

    bool operator==(const FILE_STAMP& o) const {
        return strPath == o.strPath && bExists == o.bExists && llModified == o.llModified && llSize == o.llSize;
    }
};

FILE_STAMP StampOf(const QString& path) {
    const QFileInfo info(path);
    FILE_STAMP s;
    s.strPath = path;
    s.bExists = info.exists();
    if (s.bExists) {
        s.llModified = info.lastModified().toMSecsSinceEpoch();
        s.llSize = info.size();
    }
    return s;
}

BAIDU_TILE_SETTINGS Read(const QString& path) {
    QSettings ini(path, QSettings::IniFormat);
    ini.setIniCodec("SYSTEM");
    BAIDU_TILE_SETTINGS s;
    for (const SETTING_ROW& row : kRows) {
        const QVariant v = ini.value(QLatin1String(row.szKey));
        // An unquoted value with commas comes back as a list; the comma belongs to the text.
        QString text = v.type() == QVariant::StringList ? v.toStringList().join(QLatin1Char(',')) : v.toString();
        text = text.trimmed();
        if (text.isEmpty()) text = QString::fromLatin1(row.szDefault);
        s.*row.pField = text;
    }
    return s;
}

}  // namespace

BAIDU_TILE_SETTINGS BaiduTileSettings() {
    static std::mutex mutex;
    static FILE_STAMP cachedStamp;
    static BAIDU_TILE_SETTINGS cached;
    static bool loaded = false;

    const FILE_STAMP stamp = StampOf(MapSettingsDirectory() + QLatin1String(kSettingsFile));
    std::lock_guard<std::mutex> lock(mutex);
    if (!loaded || !(stamp == cachedStamp)) {
        cached = Read(stamp.strPath);
        cachedStamp = stamp;
        loaded = true;
    }
    return cached;
}
