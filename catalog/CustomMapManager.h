#pragma once

#include "catalog/CustomMapObj.h"
#include "core/VtCoreExport.h"

#include <QByteArray>
#include <QMap>
#include <QString>

// Every custom map under its key (0..9998), in ascending key order, with the whole QMap interface.
// The process-wide instance lives in "MyMap.bin" in the product's data directory: a binary JSON
// document {"version": "1.0.0", "items": [...], "MaxTheme": n}, each item a map's object plus
// "ThemeType" (its key). Used from one thread once created.
class VTCORE_EXPORT CCustomMapManager : public QMap<int, CCustomMapObj> {
public:
    // The key counter: where CreateNewKey starts looking. Process-wide.
    static int MaxTheme;

    // The process-wide instance, created and loaded on first use (safe against concurrent first
    // calls); saved when the process exits.
    static CCustomMapManager* Instance();
    // Data directory of the core application + "MyMap.bin".
    static QString DefaultFilePath();

    // Empty, then loaded from DefaultFilePath().
    CCustomMapManager();
    // Empty, then loaded from `filePath`; Save writes there.
    explicit CCustomMapManager(const QString& filePath);
    CCustomMapManager(const CCustomMapManager& other);
    CCustomMapManager& operator=(const CCustomMapManager& other);
    // Saves, then frees.
    ~CCustomMapManager();

    // A key no map uses, searching upwards from MaxTheme (which follows the search, but never past
    // the key returned); -1 once the search reaches 9999.
    int CreateNewKey() const;
    // Writes every map that has a "type" to a temporary file beside the catalogue and then puts it
    // in the catalogue's place, so an interrupted save leaves the old catalogue whole. False when
    // the file cannot be written or replaced.
    bool Save();
    // Adds the maps of the file, replacing maps under the same keys, and takes its MaxTheme. A
    // missing or unreadable file, or a file of another version or layout, changes nothing.
    void Load();
    // Load's work on the file's bytes (binary JSON).
    void LoadBytes(const QByteArray& bytes);

    QString FilePath() const { return m_strFilePath; }
    // Where Save (and the destructor) writes from now on; "" writes nowhere.
    void SetFilePath(const QString& filePath) { m_strFilePath = filePath; }

private:
    QString m_strFilePath;
};
