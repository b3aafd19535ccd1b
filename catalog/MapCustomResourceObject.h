#pragma once

#include "catalog/MapResourceObject.h"
#include "core/VtCoreExport.h"

#include <QString>

// A map resource for a user-defined source (a tile URL template the user supplied). The registry
// only recognises it by type.
class VTCORE_EXPORT IMapCustomResourceObject : public IMapResourceObject {
public:
    ~IMapCustomResourceObject() override;
    virtual QString GetUrlTemplate() const = 0;  // in the grammar of Tools::ReplaceUrlXYZ
};
