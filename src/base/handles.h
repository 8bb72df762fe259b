// Non-copyable owners of Win32 handles. Every kind of handle the engine
// opens is closed by exactly one of these.
#pragma once

#include <windows.h>
#include <wininet.h>
#include <wrl/client.h>

#include <utility>

namespace mf {

template <class Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() noexcept = default;
    explicit UniqueResource(Type value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    [[nodiscard]] Type get() const noexcept { return value_; }
    [[nodiscard]] bool valid() const noexcept { return Traits::IsValid(value_); }
    explicit operator bool() const noexcept { return valid(); }

    // Closing keeps the thread's last-error value, so that a caller can read
    // the error of the call that failed after its handles went out of scope.
    void reset(Type value = Traits::Invalid()) noexcept {
        Type old = std::exchange(value_, value);
        if (Traits::IsValid(old)) {
            const DWORD error = ::GetLastError();
            Traits::Close(old);
            ::SetLastError(error);
        }
    }
    [[nodiscard]] Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }

    // For out-parameters: closes the current value and hands out its slot.
    Type* put() noexcept {
        reset();
        return &value_;
    }

private:
    Type value_ = Traits::Invalid();
};

namespace traits {

// Kernel handles whose "none" value is NULL (events, threads, processes,
// mappings, snapshots).
struct Handle {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

// File handles, whose "none" value is INVALID_HANDLE_VALUE.
struct File {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

struct Find {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};

struct RegKey {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};

struct Internet {
    using Type = HINTERNET;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::InternetCloseHandle(h); }
};

struct GdiObject {
    using Type = HGDIOBJ;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};

struct Icon {
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::DestroyIcon(h); }
};

struct Module {
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};

struct Menu {
    using Type = HMENU;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::DestroyMenu(h); }
};

struct MemoryDc {
    using Type = HDC;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::DeleteDC(h); }
};

struct MappedView {
    using Type = const void*;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type p) noexcept { return p != nullptr; }
    static void Close(Type p) noexcept { ::UnmapViewOfFile(p); }
};

struct LocalMemory {
    using Type = HLOCAL;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::LocalFree(h); }
};

}  // namespace traits

using UniqueHandle = UniqueResource<traits::Handle>;
using UniqueFile = UniqueResource<traits::File>;
using UniqueFind = UniqueResource<traits::Find>;
using UniqueRegKey = UniqueResource<traits::RegKey>;
using UniqueInternet = UniqueResource<traits::Internet>;
using UniqueGdiObject = UniqueResource<traits::GdiObject>;
using UniqueIcon = UniqueResource<traits::Icon>;
using UniqueModule = UniqueResource<traits::Module>;
using UniqueMenu = UniqueResource<traits::Menu>;
using UniqueMemoryDc = UniqueResource<traits::MemoryDc>;
using UniqueMappedView = UniqueResource<traits::MappedView>;
using UniqueLocalMemory = UniqueResource<traits::LocalMemory>;

using Microsoft::WRL::ComPtr;

// Memory committed in another process (VirtualAllocEx); decommitted and
// released with the owner. The process handle is borrowed, not owned.
class UniqueRemoteMemory {
public:
    UniqueRemoteMemory() noexcept = default;
    UniqueRemoteMemory(HANDLE process, void* address) noexcept : process_(process), address_(address) {}
    ~UniqueRemoteMemory() { reset(); }
    UniqueRemoteMemory(const UniqueRemoteMemory&) = delete;
    UniqueRemoteMemory& operator=(const UniqueRemoteMemory&) = delete;
    UniqueRemoteMemory(UniqueRemoteMemory&& other) noexcept
        : process_(std::exchange(other.process_, nullptr)), address_(std::exchange(other.address_, nullptr)) {}
    UniqueRemoteMemory& operator=(UniqueRemoteMemory&& other) noexcept {
        if (this != &other) {
            reset();
            process_ = std::exchange(other.process_, nullptr);
            address_ = std::exchange(other.address_, nullptr);
        }
        return *this;
    }
    [[nodiscard]] void* get() const noexcept { return address_; }
    explicit operator bool() const noexcept { return address_ != nullptr; }
    // Gives the memory up without freeing it (it then lives as long as the
    // other process).
    void* release() noexcept {
        process_ = nullptr;
        return std::exchange(address_, nullptr);
    }
    void reset() noexcept {
        if (address_ != nullptr && process_ != nullptr) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        address_ = nullptr;
        process_ = nullptr;
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

// COM for the calling thread, uninitialised on scope exit when it was
// initialised here.
class ComInit {
public:
    explicit ComInit(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : hr_(::CoInitializeEx(nullptr, model)) {}
    ~ComInit() {
        if (SUCCEEDED(hr_)) ::CoUninitialize();
    }
    ComInit(const ComInit&) = delete;
    ComInit& operator=(const ComInit&) = delete;
    [[nodiscard]] HRESULT result() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

}  // namespace mf
