#include "storage/DownloadTask.h"

#include <cmath>
#include <utility>

STRUCT_DOWNLOAD_TASK::STRUCT_DOWNLOAD_TASK()
    : version(0),
      count(0),
      threadcount(20),
      extent{0.0, 0.0, 0.0, 0.0},
      maptype(0),
      MapItemType(0),
      rangetype(0),
      bIsGoogleOffset(false),
      auxFlag1(true),
      geDate(20001231),
      auxInt1(5),
      DownImgeType(1),
      state(TASK_STATE_ENDED),
      IsDownFinisedExport(false),
      bIsOverTagge(false),
      IsClip(true),
      bIsCreateCoordFile(true),
      IsDownFinishedOpenFile(false),
      exportExtent{0.0, 0.0, 0.0, 0.0},
      ExportCoord(1000),
      nExportEPSG(-1),
      ExportType(EXPORT_JOINT_IMAGE),
      ExportImgType(SAVE_IMAGE_TIF),
      buyState(0),
      CustomRowCount(0),
      CustomColCount(0),
      TitleCutomIS16(false),
      TitleCutomBigFont(false),
      TitleCutomIsSix(false),
      strTitleCutom(QStringLiteral("{z-1}\\{x-1}_{y-1}")),
      bIsOverLabel(true),
      nDuDai(3),
      nZYJX(0.0),
      dSevenData{0, 0, 0, 0, 0, 0, 0},
      bIsSetExportParam(false),
      nBackGroundColor{255, 255, 255, 255},
      bIsTransParent(true),
      savedState(TASK_STATE_ENDED),
      nPointState(2),
      auxFlag2(false),
      nDemCorrect(0),
      bIsSheetDown(false),
      auxFlag3(false),
      resampleAlg(0),
      auxFlag4(false),
      auxFlag5(true),
      auxFlag6(false),
      auxFlag7(false),
      ExportBySpace(0),
      exportSpace(0.0, 0.0),
      auxFlag8(false) {}

void STRUCT_DOWNLOAD_TASK::Copy(STRUCT_DOWNLOAD_TASK* src) {
    if (src == nullptr || src == this) return;
    version = src->version;
    count = src->count;
    threadcount = src->threadcount;
    extent = src->extent;
    path = src->path;
    name = src->name;
    level = src->level;
    pointList = src->pointList;
    maptype = src->maptype;
    MapItemType = src->MapItemType;
    rangetype = src->rangetype;
    bIsGoogleOffset = src->bIsGoogleOffset;
    auxFlag1 = src->auxFlag1;
    geDate = src->geDate;
    auxInt1 = src->auxInt1;
    DownImgeType = src->DownImgeType;
    state = src->state;
    strExportSavePath = src->strExportSavePath;
}

DownloadTask::DownloadTask() : STRUCT_DOWNLOAD_TASK(), ID(-1), auxValue(0) {
    count = -1;
    auxInt1 = 1;
    auxFlag8 = false;
}

DownloadTask& DownloadTask::operator=(DownloadTask&& other) noexcept {
    if (this == &other) return *this;
    STRUCT_DOWNLOAD_TASK::operator=(std::move(other));
    ID = other.ID;
    auxValue = other.auxValue;
    auxMap.swap(other.auxMap);
    return *this;
}

namespace {

bool SameExtent(const EXTENT& a, const EXTENT& b) {
    return a.minx == b.minx && a.miny == b.miny && a.maxx == b.maxx && a.maxy == b.maxy;
}

}  // namespace

bool DownloadTask::operator==(const DownloadTask& o) const {
    // The order is that of the stored columns; the first difference ends the comparison.
    if (ID != o.ID || count != o.count || threadcount != o.threadcount) return false;
    if (path != o.path || name != o.name) return false;
    if (maptype != o.maptype || MapItemType != o.MapItemType || rangetype != o.rangetype) return false;
    if (geDate != o.geDate || auxInt1 != o.auxInt1 || DownImgeType != o.DownImgeType) return false;
    if (state != o.state || bIsOverTagge != o.bIsOverTagge || IsClip != o.IsClip) return false;
    if (bIsCreateCoordFile != o.bIsCreateCoordFile || levelExportList != o.levelExportList) return false;
    if (ExportCoord != o.ExportCoord || ExportType != o.ExportType) return false;
    if (!SameExtent(exportExtent, o.exportExtent) || !SameExtent(extent, o.extent)) return false;
    if (ExportImgType != o.ExportImgType || strExportSavePath != o.strExportSavePath) return false;
    if (buyState != o.buyState || CustomRowCount != o.CustomRowCount || CustomColCount != o.CustomColCount)
        return false;
    if (TitleCutomIS16 != o.TitleCutomIS16 || TitleCutomBigFont != o.TitleCutomBigFont ||
        TitleCutomIsSix != o.TitleCutomIsSix || strTitleCutom != o.strTitleCutom)
        return false;
    if (bIsOverLabel != o.bIsOverLabel || nDuDai != o.nDuDai) return false;
    // The column holds an integer; tiny floating noise must not make a reloaded task differ.
    if (!(std::fabs(nZYJX - o.nZYJX) < 1e-9)) return false;
    if (bIsSetExportParam != o.bIsSetExportParam) return false;
    for (int i = 0; i < 4; ++i) {
        if (nBackGroundColor[i] != o.nBackGroundColor[i]) return false;
    }
    if (bIsTransParent != o.bIsTransParent || savedState != o.savedState || nPointState != o.nPointState)
        return false;
    if (auxFlag2 != o.auxFlag2 || nDemCorrect != o.nDemCorrect || bIsSheetDown != o.bIsSheetDown ||
        auxFlag3 != o.auxFlag3)
        return false;
    if (createTm != o.createTm || resampleAlg != o.resampleAlg) return false;
    for (int i = 0; i < 7; ++i) {
        if (!(dSevenData[i] == o.dSevenData[i])) return false;  // NaN on either side: unequal
    }
    if (ExportBySpace != o.ExportBySpace) return false;
    return exportSpace == o.exportSpace;  // QPointF compares fuzzily
}
