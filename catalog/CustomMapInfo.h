#pragma once

#include "core/VtCoreExport.h"

#include <QJsonObject>

#include <string>

// An online custom map: tile URL templates for the map and its label layer, the host and referer
// the application sends with its requests, and four flags for the datum and the elevation kind.
// Texts are GB18030 bytes. The setters keep the flags consistent (BD-09 excludes WGS84 and DEM,
// a DEM map is WGS84 and never offset); the JSON readers take stored flags as they are.
class VTCORE_EXPORT CCustomMapInfo {
public:
    CCustomMapInfo();
    explicit CCustomMapInfo(int index);
    CCustomMapInfo(const CCustomMapInfo& other);
    CCustomMapInfo& operator=(const CCustomMapInfo& other);
    ~CCustomMapInfo();

    int GetIndex() const { return m_nIndex; }
    std::string GetName() const { return m_strName; }
    void SetName(const std::string& name) { m_strName = name; }
    bool IsExistLabel() const { return m_bExistLabel; }
    void SetExistLabel(bool b) { m_bExistLabel = b; }
    std::string GetMapUrl() const { return m_strMapUrl; }
    void SetMapUrl(const std::string& url) { m_strMapUrl = url; }
    std::string GetLabelUrl() const { return m_strLabelUrl; }
    void SetLabelUrl(const std::string& url) { m_strLabelUrl = url; }
    std::string GetInfoHost() const { return m_strInfoHost; }
    void SetInfoHost(const std::string& host) { m_strInfoHost = host; }
    std::string GetInfoReferer() const { return m_strInfoReferer; }
    void SetInfoReferer(const std::string& referer) { m_strInfoReferer = referer; }

    // Ignored while BD-09 is set; a DEM map stays WGS84.
    void SetIsWGS84(bool b);
    // Setting BD-09 clears WGS84 and DEM.
    void SetIsBD09(bool b);
    // A DEM map is never offset.
    void SetIsOffset(bool b);
    // Ignored while BD-09 is set.
    void SetIsDem(bool b);
    bool IsWGS84() const { return m_bDem || m_bWgs84; }
    bool IsBD09() const { return m_bBd09; }
    // The stored flag: tiles drawn in GCJ-02 (the catalogue's datum answer relies on it).
    bool IsOffset() const { return m_bOffset; }
    bool IsDem() const { return m_bDem; }

    // "Index", "Name", "ExistLabel", "MapUrl", "LabelUrl", "InfoHost", "InfoReferer", "WGS84",
    // "Offset", "DemMap", "BD09".
    QJsonObject ToJsonObject() const;
    // Reads those members as stored (missing: 0, false, ""), bypassing the setters. Always true.
    bool FromJsonObject(const QJsonObject& object);
    // The same members as compact JSON text (jsoncpp's FastWriter, newline at the end). The texts
    // are written as UTF-8, so the JSON stays valid whatever the names hold.
    std::string ToJsonString() const;
    // Reads index, name, label switch, URLs, host and referer (not the four flags) from JSON text;
    // false, changing nothing, when the text does not parse.
    bool LoadFromJsonString(const std::string& text);

private:
    int m_nIndex;
    std::string m_strName;
    bool m_bExistLabel;
    std::string m_strMapUrl;
    std::string m_strLabelUrl;
    std::string m_strInfoHost;
    std::string m_strInfoReferer;
    bool m_bWgs84;
    bool m_bOffset;
    bool m_bDem;
    bool m_bBd09;
};
