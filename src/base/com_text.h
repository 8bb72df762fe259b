// Owners of OLE automation strings and variants, for COM calls that take or
// return text (the XML DOM and SAX reader).
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace mf {

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text)
        : value_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { ::SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    [[nodiscard]] BSTR get() const { return value_; }
    BSTR* put() {
        ::SysFreeString(value_);
        value_ = nullptr;
        return &value_;
    }
    [[nodiscard]] std::wstring str() const {
        return value_ != nullptr ? std::wstring(value_, ::SysStringLen(value_)) : std::wstring();
    }

private:
    BSTR value_ = nullptr;
};

class OwnedVariant {
public:
    OwnedVariant() { ::VariantInit(&value_); }
    // A string variant.
    explicit OwnedVariant(const std::wstring& text) : OwnedVariant() {
        value_.vt = VT_BSTR;
        value_.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    }
    // A byte array variant (VT_ARRAY | VT_UI1), the form in which the XML
    // readers take a document from memory; empty when it cannot be made.
    static OwnedVariant Bytes(std::string_view bytes) {
        OwnedVariant out;
        SAFEARRAY* array = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
        if (array == nullptr) return out;
        void* data = nullptr;
        if (FAILED(::SafeArrayAccessData(array, &data))) {
            ::SafeArrayDestroy(array);
            return out;
        }
        if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
        ::SafeArrayUnaccessData(array);
        out.value_.vt = VT_ARRAY | VT_UI1;
        out.value_.parray = array;
        return out;
    }
    ~OwnedVariant() { ::VariantClear(&value_); }
    OwnedVariant(OwnedVariant&& other) noexcept : OwnedVariant() { std::swap(value_, other.value_); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
    VARIANT* put() {
        ::VariantClear(&value_);
        return &value_;
    }
    [[nodiscard]] const VARIANT& get() const { return value_; }
    // The text of a string variant; empty for any other kind.
    [[nodiscard]] std::wstring text() const {
        if (value_.vt != VT_BSTR || value_.bstrVal == nullptr) return {};
        return std::wstring(value_.bstrVal, ::SysStringLen(value_.bstrVal));
    }

private:
    VARIANT value_;
};

}  // namespace mf
