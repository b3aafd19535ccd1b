#include "catalog/CustomMapManager.h"

#include "catalog/CustomMapTraits_p.h"
#include "core/TextConvert.h"
#include "core/VtCoreApplication.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QSaveFile>

namespace {

const QLatin1String kVersion("1.0.0");
const QLatin1String kVersionKey("version");
const QLatin1String kItemsKey("items");
const QLatin1String kMaxThemeKey("MaxTheme");
const QLatin1String kThemeTypeKey("ThemeType");
const QLatin1String kTypeKey("type");
constexpr int kKeyLimit = 9999;  // keys run 0..9998

// Binary JSON is Qt's deprecated format, but it is the catalogue's file format.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
QByteArray ToBinaryJson(const QJsonObject& root) { return QJsonDocument(root).toBinaryData(); }
QJsonDocument FromBinaryJson(const QByteArray& bytes) {
    return QJsonDocument::fromBinaryData(bytes, QJsonDocument::Validate);
}
#pragma GCC diagnostic pop

}  // namespace

int CCustomMapManager::MaxTheme = 0;

CCustomMapManager* CCustomMapManager::Instance() {
    // A function-local static: built once even when first calls race, destroyed (and so saved)
    // at exit.
    static CCustomMapManager instance;
    return &instance;
}

QString CCustomMapManager::DefaultFilePath() {
    return ConvertStdStringToQString(CVtCoreApplication::GetInstance()->GetDataDir(), "GB18030") +
           QStringLiteral("MyMap.bin");
}

CCustomMapManager::CCustomMapManager() : CCustomMapManager(DefaultFilePath()) {}

CCustomMapManager::CCustomMapManager(const QString& filePath) : m_strFilePath(filePath) { Load(); }

CCustomMapManager::CCustomMapManager(const CCustomMapManager& other) = default;
CCustomMapManager& CCustomMapManager::operator=(const CCustomMapManager& other) = default;

CCustomMapManager::~CCustomMapManager() { Save(); }

int CCustomMapManager::CreateNewKey() const {
    for (int candidate = MaxTheme; candidate < kKeyLimit; ++candidate) {
        if (!contains(candidate)) return candidate;
        MaxTheme = candidate + 1;
    }
    return -1;
}

bool CCustomMapManager::Save() {
    QJsonArray items;
    for (auto it = constBegin(); it != constEnd(); ++it) {
        if (!it.value().Object().contains(kTypeKey)) continue;
        QJsonObject item = it.value().Object();
        item.insert(kThemeTypeKey, it.key());
        items.append(item);
    }
    QJsonObject root;
    root.insert(kVersionKey, kVersion);
    root.insert(kItemsKey, items);
    root.insert(kMaxThemeKey, MaxTheme);
    const QByteArray bytes = ToBinaryJson(root);

    // The new content goes to a temporary file that replaces the catalogue only once it is
    // complete: a shorter catalogue leaves no tail of the old one, and a crash mid-write leaves
    // the old one readable.
    if (m_strFilePath.isEmpty()) return false;
    QSaveFile file(m_strFilePath);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void CCustomMapManager::Load() {
    QFile file(m_strFilePath);
    if (m_strFilePath.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        qDebug().noquote() << QStringLiteral("打开我的地图配置文件失败！");
        return;
    }
    LoadBytes(file.readAll());
}

void CCustomMapManager::LoadBytes(const QByteArray& bytes) {
    const QJsonDocument document = FromBinaryJson(bytes);
    if (document.isNull()) {
        qDebug().noquote() << QStringLiteral("读取我的地图配置文件失败！");
        return;
    }
    const QJsonObject root = document.object();
    const QJsonValue items = root.value(kItemsKey);
    if (!document.isObject() || root.value(kVersionKey).toString() != kVersion || !items.isArray()) return;
    for (const QJsonValue& item : items.toArray()) {
        if (!item.isObject()) continue;
        const QJsonObject object = item.toObject();
        if (!object.contains(kTypeKey)) continue;
        insert(object.value(kThemeTypeKey).toInt(), CCustomMapObj(object));
    }
    MaxTheme = root.value(kMaxThemeKey).toInt();
}

CUSTOM_MAP_TRAITS CustomMapManagerTraits(int key) {
    CCustomMapManager* manager = CCustomMapManager::Instance();
    CUSTOM_MAP_TRAITS traits;
    const auto it = manager->constFind(key);
    if (it == manager->constEnd()) return traits;
    const CCustomMapInfo info = it.value().ToCustomMapInfo();
    traits.bFound = true;
    traits.bDem = it.value().IsDemMap();
    traits.bOffset = info.IsOffset();
    traits.bBD09 = info.IsBD09();
    return traits;
}
