#include "engine/targets.h"

#include <algorithm>

#include "base/strings.h"
#include "engine/process_state.h"

namespace mf {

namespace {

std::wstring ReplaceLastComponent(const std::wstring& path, const std::wstring& name) {
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? name : path.substr(0, slash + 1) + name;
}

PathResolver CurrentResolver() {
    return [](const std::wstring& text) { return Process().paths.Resolve(text); };
}

}  // namespace

std::vector<std::wstring> ExpandListWith(const std::wstring& basePath, const std::wstring& list,
                                         const PathResolver& resolve) {
    std::vector<std::wstring> result;
    if (list.empty()) return result;
    const std::wstring base = resolve(basePath);
    std::wstring separated = list;
    ReplaceAll(separated, L",", L";");
    ReplaceAll(separated, L"|", L";");
    for (const std::wstring& item : Split(separated, L';')) {
        if (item.empty()) continue;
        const bool isPath = item.find_first_of(L"\\/") != std::wstring::npos;
        std::wstring full = isPath ? resolve(item) : ReplaceLastComponent(base, item);
        if (std::find(result.begin(), result.end(), full) == result.end()) result.push_back(std::move(full));
    }
    return result;
}

std::vector<std::wstring> ExpandTargetsWith(const std::wstring& path, const std::wstring& desname,
                                            const PathResolver& resolve) {
    std::vector<std::wstring> targets = ExpandListWith(path, desname, resolve);
    if (targets.empty()) targets.push_back(resolve(path));
    return targets;
}

std::vector<std::wstring> ExpandList(const std::wstring& basePath, const std::wstring& list) {
    return ExpandListWith(basePath, list, CurrentResolver());
}

std::vector<std::wstring> ExpandTargets(const std::wstring& path, const std::wstring& desname) {
    return ExpandTargetsWith(path, desname, CurrentResolver());
}

}  // namespace mf
