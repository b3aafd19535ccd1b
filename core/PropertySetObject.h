#pragma once

#include "core/VtCoreExport.h"

#include <QVariant>

#include <map>
#include <string>

// Named Qt variants (keys in byte order) with a flat JSON form. Not synchronised.
// JSON members by variant type: Bool as the integer 0/1 (read back as Int), Int, UInt, LongLong,
// ULongLong as integers, Double as a real, String as GB18030 bytes. A JSON integer reads as the
// smallest of Int, UInt, LongLong, ULongLong that holds it, so Int and UInt come back as written
// (a LongLong from 2^31 to 2^32 - 1 comes back as UInt); a JSON boolean as Bool. Other variant types are not written; null, arrays and objects are not read.
class VTCORE_EXPORT CPropertySetObject {
public:
    CPropertySetObject() = default;
    CPropertySetObject(const CPropertySetObject&) = default;
    CPropertySetObject& operator=(const CPropertySetObject&) = default;
    virtual ~CPropertySetObject() = default;

    void SetProperty(const std::string& key, const QVariant& value);  // inserts or replaces
    QVariant GetProperty(const std::string& key);                     // invalid when absent
    bool DelProperty(const std::string& key);                         // false when absent
    // Sets every property of this set into `target`; its other keys stay.
    void CopyTo(CPropertySetObject& target) const;
    void Clear();

    // Adds the members of a JSON object whose keys are not present yet (present keys keep their
    // value; the set is not cleared). False, with the set unchanged, when the text is not JSON;
    // a JSON value that is not an object adds nothing.
    bool FromJson(const std::string& json);
    // The compact JSON text of the set followed by a newline; "null\n" when nothing is written.
    std::string ToJson() const;

private:
    std::map<std::string, QVariant> m_mapProperties;
};
