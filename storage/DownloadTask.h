#pragma once

#include "core/VtCoreExport.h"
#include "storage/TaskEnums.h"
#include "tile/Extent.h"

#include <QList>
#include <QPointF>
#include <QPolygonF>
#include <QString>

#include <map>
#include <string>

// The plain download task: what a depository keeps in memory and partly stores in its data-file
// header. Field names follow the task-database columns that hold them.
struct VTCORE_EXPORT STRUCT_DOWNLOAD_TASK {
    STRUCT_DOWNLOAD_TASK();
    STRUCT_DOWNLOAD_TASK(const STRUCT_DOWNLOAD_TASK&) = default;
    STRUCT_DOWNLOAD_TASK(STRUCT_DOWNLOAD_TASK&&) = default;
    STRUCT_DOWNLOAD_TASK& operator=(const STRUCT_DOWNLOAD_TASK&) = default;
    STRUCT_DOWNLOAD_TASK& operator=(STRUCT_DOWNLOAD_TASK&&) = default;
    ~STRUCT_DOWNLOAD_TASK() = default;

    // Copies only the depository-related subset (version .. state, and strExportSavePath)
    // from src; nothing happens for a null src.
    void Copy(STRUCT_DOWNLOAD_TASK* src);

    int version;                 // depository format version (204 when created)
    long long count;             // number of tiles
    int threadcount;
    EXTENT extent;               // download region, degrees of the task's datum
    QString path;                // depository location (after Open: the index file)
    QString name;
    QList<int> level;            // one-based zoom levels to download
    QList<QPointF> pointList;
    int maptype;                 // map type identifier
    int MapItemType;             // header m_nThemeType
    int rangetype;
    bool bIsGoogleOffset;        // GCJ-02 offset tiles; header m_bIsGoogleOffset
    bool auxFlag1;
    int geDate;                  // imagery date yyyymmdd
    int auxInt1;
    int DownImgeType;            // header m_nMixType
    int state;                   // ENUM_TASK_STATE
    bool IsDownFinisedExport;
    bool bIsOverTagge;
    bool IsClip;
    bool bIsCreateCoordFile;
    bool IsDownFinishedOpenFile;
    QList<int> levelExportList;
    EXTENT exportExtent;
    int ExportCoord;
    int nExportEPSG;             // -1 = none
    QString strExportCoordName;
    int ExportType;              // EXPORTTYPE
    int ExportImgType;           // E_SAVE_IMAGE_TYPE
    QString strExportSavePath;
    int buyState;
    int CustomRowCount;
    int CustomColCount;
    bool TitleCutomIS16;
    bool TitleCutomBigFont;
    bool TitleCutomIsSix;
    QString strTitleCutom;       // tile naming template, default "{z-1}\{x-1}_{y-1}"
    bool bIsOverLabel;
    int nDuDai;
    double nZYJX;                // central meridian of the export, degrees
    double dSevenData[7];        // datum transformation parameters
    bool bIsSetExportParam;
    int nBackGroundColor[4];     // R, G, B, A, 0..255
    bool bIsTransParent;
    int savedState;              // state as loaded from the database
    int nPointState;
    bool auxFlag2;
    int nDemCorrect;
    bool bIsSheetDown;
    bool auxFlag3;
    QString createTm;
    int resampleAlg;
    QString upExportPath;
    bool auxFlag4;
    bool auxFlag5;
    QList<QPolygonF> rangepoints;  // region polygons
    bool auxFlag6;
    bool auxFlag7;
    int ExportBySpace;
    QPointF exportSpace;
    bool auxFlag8;
};

// A task with its database identity.
class VTCORE_EXPORT DownloadTask : public STRUCT_DOWNLOAD_TASK {
public:
    DownloadTask();
    DownloadTask(const DownloadTask&) = default;
    DownloadTask(DownloadTask&&) = default;
    DownloadTask& operator=(const DownloadTask&) = default;
    DownloadTask& operator=(DownloadTask&& other) noexcept;  // swaps auxMap
    ~DownloadTask() = default;

    // Compares the stored, user-visible fields (not version, level, pointList, bIsGoogleOffset,
    // IsDownFinisedExport, IsDownFinishedOpenFile, nExportEPSG, strExportCoordName, upExportPath,
    // the aux flags, rangepoints, auxValue, auxMap).
    bool operator==(const DownloadTask& other) const;
    bool operator!=(const DownloadTask& other) const { return !(*this == other); }

    int ID;                            // row id in the task table, -1 = not stored
    int auxValue;
    std::map<std::string, long long> auxMap;
};
