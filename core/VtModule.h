#pragma once

#include "core/VtCoreExport.h"

#include <string>

// The common module interface of the library's frame objects.
class VTCORE_EXPORT IVtModule {
public:
    virtual ~IVtModule();
    virtual std::string GetName() const = 0;
    virtual std::string GetUUID() const = 0;
};
