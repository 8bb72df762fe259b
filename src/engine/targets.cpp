#include "engine/targets.h"

#include <algorithm>
#include <array>

#include "base/path_text.h"
#include "base/strings.h"
#include "engine/process_state.h"

namespace mf {

namespace {

std::wstring ReplaceLastComponent(const std::wstring& path, const std::wstring& name) {
    const std::size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? name : path.substr(0, slash + 1) + name;
}

// A plain name of a target list stands for a file beside the base path.
bool IsFileName(const std::wstring& name) {
    return FormOf(name) == PathForm::Relative && StaysInside(name) && name != L"." && name != L"..";
}

PathResolver CurrentResolver() {
    return [](const std::wstring& text) { return Process().paths.ResolveInside(text); };
}

TargetFilter CurrentFilter() {
    return [](const std::wstring& path) { return !IsEngineBookkeepingFile(path); };
}

struct Expanded {
    std::vector<std::wstring> paths;
    bool refused = false;  // an item was left out as no place to write
};

Expanded Expand(const std::wstring& basePath, const std::wstring& list, const PathResolver& resolve,
                const TargetFilter& allowed) {
    Expanded result;
    if (list.empty()) return result;
    const std::wstring base = resolve(basePath);
    std::wstring separated = list;
    ReplaceAll(separated, L",", L";");
    ReplaceAll(separated, L"|", L";");
    for (const std::wstring& item : Split(separated, L';')) {
        if (item.empty()) continue;
        const bool isPath = item.find_first_of(L"\\/") != std::wstring::npos;
        std::wstring full;
        if (isPath) {
            full = resolve(item);
        } else if (!base.empty() && IsFileName(item)) {
            full = ReplaceLastComponent(base, item);
        }
        if (full.empty() || (allowed && !allowed(full))) {
            result.refused = true;
            continue;
        }
        if (std::find(result.paths.begin(), result.paths.end(), full) == result.paths.end())
            result.paths.push_back(std::move(full));
    }
    return result;
}

}  // namespace

std::vector<std::wstring> ExpandListWith(const std::wstring& basePath, const std::wstring& list,
                                         const PathResolver& resolve, const TargetFilter& allowed) {
    return Expand(basePath, list, resolve, allowed).paths;
}

std::vector<std::wstring> ExpandTargetsWith(const std::wstring& path, const std::wstring& desname,
                                            const PathResolver& resolve, const TargetFilter& allowed) {
    Expanded targets = Expand(path, desname, resolve, allowed);
    // A list whose every item was refused does not fall back to the file's
    // own path: the list meant somewhere else.
    if (targets.paths.empty() && !targets.refused) {
        std::wstring own = resolve(path);
        if (!own.empty() && (!allowed || allowed(own))) targets.paths.push_back(std::move(own));
    }
    return targets.paths;
}

std::vector<std::wstring> ExpandList(const std::wstring& basePath, const std::wstring& list) {
    return ExpandListWith(basePath, list, CurrentResolver(), CurrentFilter());
}

std::vector<std::wstring> ExpandTargets(const std::wstring& path, const std::wstring& desname) {
    return ExpandTargetsWith(path, desname, CurrentResolver(), CurrentFilter());
}

bool IsEngineBookkeepingFile(const std::wstring& path) {
    ProcessState& state = Process();
    const std::array<std::wstring, 4> own{state.config.IniPath(), state.workFolder.Get() + L"\\mirefold.xml",
                                          state.paths.OldFilesListPath(), state.log.FilePath()};
    const std::wstring name = LastComponent(path);
    for (const std::wstring& file : own) {
        // The names first: most targets share none with these files.
        if (file.empty() || !EqualsNoCase(LastComponent(file), name)) continue;
        if (EqualsNoCase(FullPath(file), FullPath(path))) return true;
    }
    return false;
}

}  // namespace mf
