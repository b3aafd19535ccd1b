#pragma once

#include "core/VtCoreExport.h"
#include "core/VtVariantSetObject.h"

// The kernel's variant set: named properties and integer-keyed user data behind the object's own
// lock, as CVtVariantSetObject holds them. Kernel objects such as CPluginModule carry one for
// the values their users attach.
class VTCORE_EXPORT CVariantSetObject : public CVtVariantSetObject {
public:
    CVariantSetObject() = default;
    CVariantSetObject(const CVariantSetObject&) = default;
    CVariantSetObject& operator=(const CVariantSetObject&) = default;
    ~CVariantSetObject() override = default;
};
