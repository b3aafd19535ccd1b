#pragma once

#include "core/VtCoreExport.h"

#include <string>

// Root of the kernel's objects: a name string held by the object.
class VTCORE_EXPORT IObject {
public:
    virtual const std::string& GetObjectName() const = 0;
    virtual void SetObjectName(const std::string& name) = 0;
    virtual ~IObject();
};

// A kernel module: a process-unique id and a name.
class VTCORE_EXPORT IModule : public IObject {
public:
    virtual int GetID() = 0;
    virtual std::string GetName() = 0;
};
