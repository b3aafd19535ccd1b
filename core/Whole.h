#pragma once

#include "core/VtCoreExport.h"

#include <QString>

// The host's global state: static members that the host sets and the library reads.
class VTCORE_EXPORT Whole {
public:
    Whole() = delete;

    static int m_nCurLevel;     // current view level of the map window
    static QString m_markDb;    // path of the mark database used by the connection pool
};
