#pragma once

#include "core/VtCoreExport.h"

#include <QVariant>

#include <map>
#include <mutex>
#include <string>

// Named properties and integer-keyed user data, shared between threads: every operation holds the
// object's own re-entrant lock for its whole duration. A copy gets a lock of its own.
class VTCORE_EXPORT CVtVariantSetObject {
public:
    CVtVariantSetObject() = default;
    CVtVariantSetObject(const CVtVariantSetObject& other);
    CVtVariantSetObject& operator=(const CVtVariantSetObject& other);
    virtual ~CVtVariantSetObject() = default;

    bool IsEmpty() const;  // both maps empty
    void SetProperty(const std::string& key, const QVariant& value);
    QVariant GetProperty(const std::string& key);  // invalid when absent
    void SetUserData(int key, const QVariant& value);
    QVariant GetUserData(int key);  // invalid when absent

private:
    mutable std::recursive_mutex m_lock;
    std::map<std::string, QVariant> m_mapProperties;
    std::map<int, QVariant> m_mapUserData;
};
