#pragma once

#include "core/VtCoreExport.h"

#include <QString>

#include <string>
#include <vector>

// Tools: the library's static helper functions, grouped by theme. Each theme's definitions live in
// a Tools<Theme>.cpp in the folder of the subsystem that owns the theme. Add declarations only to
// your theme's section, keeping the blank lines between sections (they keep merges clean).
class VTCORE_EXPORT Tools {
public:
    Tools() = delete;

    // ---- map-ID addressing (tile/ToolsMapId.cpp) ----

    // ---- datum conversions (tile/ToolsDatum.cpp) ----

    // ---- Baidu tiles and tile-interpolated conversions (tile/ToolsBaidu.cpp) ----

    // ---- map type catalogue and settings (catalog/ToolsMapType.cpp) ----

    // ---- tile URL templates (catalog/ToolsUrl.cpp) ----

    // ---- custom maps (catalog/ToolsCustomMap.cpp) ----

    // ---- map sheets (storage/ToolsMapSheet.cpp) ----

    // ---- text, files, paths, shell, images, geometry (core/ToolsFile.cpp and neighbours) ----

};
