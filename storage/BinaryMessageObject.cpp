#include "storage/BinaryMessageObject.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

CBinaryMessageObject::CBinaryMessageObject() : m_bFixedOrder(false), m_nByteOrder(0), m_nBitOrder(1) {}

CBinaryMessageObject::CBinaryMessageObject(bool fixedOrder, int byteOrder, int bitOrder)
    : m_bFixedOrder(fixedOrder), m_nByteOrder(byteOrder), m_nBitOrder(bitOrder) {}

CBinaryMessageObject::~CBinaryMessageObject() = default;

int CBinaryMessageObject::GetSize() const { return 0; }
bool CBinaryMessageObject::IsValid() const { return true; }
std::string CBinaryMessageObject::GetName() const { return std::string(); }
void CBinaryMessageObject::Reset() {}
bool CBinaryMessageObject::IsFixedOrder() const { return m_bFixedOrder; }
int CBinaryMessageObject::GetByteOrder() const { return m_nByteOrder; }
int CBinaryMessageObject::GetBitOrder() const { return m_nBitOrder; }
bool CBinaryMessageObject::OnPreSerialize(CBinarySerializer*) { return true; }
bool CBinaryMessageObject::OnPostSerialize(CBinarySerializer*) { return true; }

bool CBinaryMessageObject::Serialize(CBinarySerializer* s) {
    if (s == nullptr) return false;
    const int savedByteOrder = s->GetByteOrder();
    const int savedBitOrder = s->GetBitOrder();
    const bool fixed = IsFixedOrder();
    if (fixed) {
        s->SetByteOrder(GetByteOrder());
        if (s->GetBitOrder() != GetBitOrder()) {
            // Switching bit order is only meaningful on a byte boundary.
            const int pos = s->IsSerializing() ? s->GetWriteBitCount() : s->GetReadBitCount();
            if (pos % 8 != 0) {
                SetErrorDetail(s, "bit number must divde by 8");
                s->SetByteOrder(savedByteOrder);
                return false;
            }
        }
        s->SetBitOrder(GetBitOrder());
    }
    bool ok = OnPreSerialize(s);
    if (ok) ok = DoSerialize(s);
    if (ok) ok = OnPostSerialize(s);
    if (fixed) {
        s->SetByteOrder(savedByteOrder);
        s->SetBitOrder(savedBitOrder);
    }
    return ok;
}

bool CBinaryMessageObject::FieldFailed(const CBinarySerializer* s, const char* field) {
    SetErrorDetail(s, std::string("varible ") + field + " serialize failed.");
    return false;
}

void CBinaryMessageObject::SetErrorDetail(const CBinarySerializer* s, const std::string& detail) {
    // The run-time class name tells which record failed when several are nested.
    std::string name = typeid(*this).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), std::free);
    if (status == 0 && demangled) name = demangled.get();
    const bool writing = s != nullptr && s->IsSerializing();
    m_strError = name + " " + (writing ? "serialise:" : "deserialize:") + detail;
}
