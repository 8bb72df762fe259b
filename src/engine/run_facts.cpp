#include "engine/run_facts.h"

namespace mf {

bool IsUnattendedMode(RunMode mode) {
    switch (mode) {
        case RunMode::Silence:
        case RunMode::CheckForUpdates:
        case RunMode::DownParam0:
        case RunMode::DownParam1:
        case RunMode::EmptyTemp:
        case RunMode::Uninstall: return true;
        default: return false;
    }
}

void ListSources::Remember(const std::wstring& listPath, const std::wstring& url) {
    std::lock_guard guard(mutex_);
    urls_[listPath] = url;
}

std::wstring ListSources::UrlOf(const std::wstring& listPath) const {
    std::lock_guard guard(mutex_);
    const auto it = urls_.find(listPath);
    return it == urls_.end() ? std::wstring() : it->second;
}

}  // namespace mf
