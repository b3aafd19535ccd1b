#pragma once

#include "core/VtCoreExport.h"

// A byte buffer that either owns its bytes (allocated here, freed on destruction) or borrows
// bytes that belong to someone else. The length is kept even when there are no bytes, so a
// cache can be "announced but empty"; such a cache is not valid.
class VTCORE_EXPORT CCache {
public:
    CCache();  // length 0, no data, owner
    // copy false: borrows p (owner false). copy true: owns a copy of n bytes when p is set and
    // n >= 1, else holds no bytes. The length is n in every case.
    CCache(const unsigned char* p, int n, bool copy);
    // An owning source is copied deeply; a borrowing source is borrowed again.
    CCache(const CCache& other);
    CCache& operator=(const CCache& other);
    virtual ~CCache();

    // Frees owned bytes, then borrows p.
    void Attach(unsigned char* p, int n);
    // Frees owned bytes, then owns a copy of n bytes of p (no bytes when p is null or n < 1).
    void CopyData(const unsigned char* p, int n);
    // Releases owned bytes; data null, length 0.
    void Free();

    const unsigned char* GetData() const { return m_pData; }
    int GetLength() const { return m_nLength; }
    // SetOwner(true) after Attach hands a buffer allocated with new[] to the cache.
    void SetOwner(bool owner) { m_bOwner = owner; }
    bool IsOwner() const { return m_bOwner; }
    bool IsValid() const { return m_pData != nullptr && m_nLength > 0; }

    bool operator==(const CCache& other) const;
    bool operator!=(const CCache& other) const { return !(*this == other); }

private:
    void Release();
    void AssignCopy(const unsigned char* p, int n);

    int m_nLength;
    unsigned char* m_pData;
    bool m_bOwner;
};
