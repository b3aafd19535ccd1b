#include "core/VtVariantSetObject.h"

CVtVariantSetObject::CVtVariantSetObject(const CVtVariantSetObject& other) {
    std::lock_guard<std::recursive_mutex> lock(other.m_lock);
    m_mapProperties = other.m_mapProperties;
    m_mapUserData = other.m_mapUserData;
}

CVtVariantSetObject& CVtVariantSetObject::operator=(const CVtVariantSetObject& other) {
    if (this == &other) return *this;
    // Both locks at once (std::scoped_lock orders them), so a = b racing b = a cannot deadlock.
    std::scoped_lock lock(m_lock, other.m_lock);
    m_mapProperties = other.m_mapProperties;
    m_mapUserData = other.m_mapUserData;
    return *this;
}

bool CVtVariantSetObject::IsEmpty() const {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_mapProperties.empty() && m_mapUserData.empty();
}

void CVtVariantSetObject::SetProperty(const std::string& key, const QVariant& value) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_mapProperties[key] = value;
}

QVariant CVtVariantSetObject::GetProperty(const std::string& key) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    const auto it = m_mapProperties.find(key);
    return it == m_mapProperties.end() ? QVariant() : it->second;
}

void CVtVariantSetObject::SetUserData(int key, const QVariant& value) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_mapUserData[key] = value;
}

QVariant CVtVariantSetObject::GetUserData(int key) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    const auto it = m_mapUserData.find(key);
    return it == m_mapUserData.end() ? QVariant() : it->second;
}
