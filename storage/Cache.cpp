#include "storage/Cache.h"

#include <cstring>
#include <new>

CCache::CCache() : m_nLength(0), m_pData(nullptr), m_bOwner(true) {}

CCache::CCache(const unsigned char* p, int n, bool copy) : m_nLength(n), m_pData(nullptr), m_bOwner(true) {
    if (!copy) {
        // Borrowing keeps the caller's pointer; the cache never writes through it.
        m_pData = const_cast<unsigned char*>(p);
        m_bOwner = false;
    } else {
        AssignCopy(p, n);
    }
}

CCache::CCache(const CCache& other) : m_nLength(other.m_nLength), m_pData(nullptr), m_bOwner(true) {
    if (other.m_bOwner) {
        AssignCopy(other.m_pData, other.m_nLength);
    } else {
        m_pData = other.m_pData;
        m_bOwner = false;
    }
}

CCache& CCache::operator=(const CCache& other) {
    if (this == &other) return *this;
    Release();
    m_nLength = other.m_nLength;
    if (other.m_bOwner) {
        m_bOwner = true;
        AssignCopy(other.m_pData, other.m_nLength);
    } else {
        m_pData = other.m_pData;
        m_bOwner = false;
    }
    return *this;
}

CCache::~CCache() {
    Release();
    m_nLength = 0;
}

void CCache::Attach(unsigned char* p, int n) {
    Release();
    m_pData = p;
    m_nLength = n;
    m_bOwner = false;
}

void CCache::CopyData(const unsigned char* p, int n) {
    Release();
    m_nLength = n;
    m_bOwner = true;
    AssignCopy(p, n);
}

void CCache::Free() {
    Release();
    m_nLength = 0;
}

bool CCache::operator==(const CCache& other) const {
    if (this == &other) return true;
    if (m_nLength != other.m_nLength) return false;
    if (m_pData == nullptr && other.m_pData == nullptr) return true;
    if (m_pData == nullptr || other.m_pData == nullptr) return false;
    if (m_nLength <= 0) return true;
    return std::memcmp(m_pData, other.m_pData, static_cast<size_t>(m_nLength)) == 0;
}

void CCache::Release() {
    if (m_bOwner) delete[] m_pData;
    m_pData = nullptr;
}

// Leaves the data null when there is nothing to copy or the allocation fails; the length is kept.
void CCache::AssignCopy(const unsigned char* p, int n) {
    m_pData = nullptr;
    if (p == nullptr || n < 1) return;
    m_pData = new (std::nothrow) unsigned char[static_cast<size_t>(n)];
    if (m_pData != nullptr) std::memcpy(m_pData, p, static_cast<size_t>(n));
}
