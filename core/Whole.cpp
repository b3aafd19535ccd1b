#include "core/Whole.h"

int Whole::m_nCurLevel = 1;
QString Whole::m_markDb;
