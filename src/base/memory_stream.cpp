#include "base/memory_stream.h"

namespace mf {

HRESULT STDMETHODCALLTYPE MemoryStream::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IStream || iid == IID_ISequentialStream) {
        *object = static_cast<IStream*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE MemoryStream::Read(void*, ULONG, ULONG* read) {
    if (read != nullptr) *read = 0;
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE MemoryStream::Write(const void* data, ULONG count, ULONG* written) {
    if (written != nullptr) *written = 0;
    if (data == nullptr && count > 0) return STG_E_INVALIDPOINTER;
    try {
        bytes_.append(static_cast<const char*>(data), count);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    if (written != nullptr) *written = count;
    return S_OK;
}

}  // namespace mf
