#include "engine/log.h"

#include <windows.h>

#include "base/handles.h"
#include "base/named_lock.h"
#include "base/strings.h"
#include "base/text_format.h"

namespace mf {

std::wstring LogTimeStamp(const SYSTEMTIME& t) {
    return Format(L"[%04d-%02d-%02d %02d:%02d:%02d]", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
}

std::wstring Log::FilePath() {
    const std::wstring name = config_.Read(L"Mirefold", L"Log");
    if (name.empty()) return {};
    return ReduceBackslashes(workFolder_.Get() + L"\\" + name);
}

void Log::Write(const std::wstring& text) {
    const std::wstring name = config_.Read(L"Mirefold", L"Log");
    if (forward_) {
        std::wstring line = text;
        const std::wstring folder = workFolder_.Get();
        if (!folder.empty()) ReplaceAll(line, folder, L"");
        forward_(line);
    }
    if (name.empty()) return;

    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    const std::string entry = Narrow(LogTimeStamp(now) + text + L"\r\n");

    ScopedNamedLock lock(lock_id::kLog);
    const std::wstring path = ReduceBackslashes(workFolder_.Get() + L"\\" + name);
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        file.reset(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!file) return;
    ::SetFilePointer(file.get(), 0, nullptr, FILE_END);
    DWORD written = 0;
    ::WriteFile(file.get(), entry.data(), static_cast<DWORD>(entry.size()), &written, nullptr);
}

}  // namespace mf
