#pragma once

#include "core/VtCoreExport.h"
#include "storage/BinarySerializer.h"

#include <string>

// Base of every fixed binary record. A record lists its fields once in DoSerialize, which both
// writes and reads depending on the serializer's mode. A record with fixed order imposes its own
// byte and bit order on the stream while it is processed.
class VTCORE_EXPORT CBinaryMessageObject {
public:
    CBinaryMessageObject();
    CBinaryMessageObject(bool fixedOrder, int byteOrder, int bitOrder);
    virtual ~CBinaryMessageObject();

    virtual int GetSize() const;            // serialised size in bytes; 0 here
    virtual bool IsValid() const;           // true here
    virtual std::string GetName() const;    // empty here
    virtual void Reset();                   // nothing here
    virtual bool IsFixedOrder() const;
    virtual int GetByteOrder() const;
    virtual int GetBitOrder() const;
    // OnPreSerialize, then DoSerialize, then OnPostSerialize, each only when the previous succeeded.
    // False for a null stream, or when a fixed bit order would start in the middle of a byte.
    virtual bool Serialize(CBinarySerializer* s);

    // Last failure, e.g. "CICD_IDX_INDEX deserialize:varible m_nOffset serialize failed.".
    const std::string& GetErrorText() const { return m_strError; }

protected:
    virtual bool OnPreSerialize(CBinarySerializer* s);
    virtual bool DoSerialize(CBinarySerializer* s) = 0;
    virtual bool OnPostSerialize(CBinarySerializer* s);

    // Records the failure of one field by its member name and returns false.
    bool FieldFailed(const CBinarySerializer* s, const char* field);
    void SetErrorDetail(const CBinarySerializer* s, const std::string& detail);

    bool m_bFixedOrder;
    int m_nByteOrder;
    int m_nBitOrder;
    std::string m_strError;
};
