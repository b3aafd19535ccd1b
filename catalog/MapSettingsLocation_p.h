#pragma once

#include <QString>

// Where the map settings files ("config.ini", "mapver.dll") live: the application directory unless
// overridden. Internal to the library; defined with the settings functions in ToolsMapType.cpp.

QString MapSettingsDirectory();

// Points the settings at another directory ("" restores the application directory) and drops the
// cached values, which belonged to the old files. Tests use it to work in a temporary directory.
void SetMapSettingsDirectory(const QString& dir);
