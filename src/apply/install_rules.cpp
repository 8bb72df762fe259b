#include "apply/install_rules.h"

#include <initializer_list>

#include "base/path_text.h"
#include "base/strings.h"
#include "base/text_format.h"
#include "engine/paths.h"
#include "list/run_command.h"

namespace mf {

std::vector<std::wstring> BackupNames(const std::wstring& target) {
    std::vector<std::wstring> names{target + L".__old"};
    for (int i = 0; i <= 9; ++i) names.push_back(Format(L"%s.__old%d", target, i));
    return names;
}

bool CommandWaits(std::wstring_view flag) {
    for (const wchar_t c : ToLower(flag))
        if (c == L'1' || c == L'y' || c == L't' || c == L'o') return true;
    return false;
}

ListCommand ParseListCommand(std::wstring_view joined, const TextMap& expand) {
    const RunCommandFields fields = SplitRunCommand(joined);
    return ListCommand{expand(fields.path), expand(fields.param), CommandWaits(fields.wait)};
}

std::wstring ListCommandLine(const std::wstring& label, const ListCommand& command) {
    std::wstring line = label + L"[" + command.path + L"][" + command.parameters + L"][" +
                        (command.wait ? L"wait" : L"nowait") + L"]";
    ReplaceAll(line, L"[]", L"");
    return line;
}

std::wstring DesktopShortcutPath(const std::wstring& link, const TextMap& readApplicationKey) {
    std::size_t desktop = link.find(L"\\Desktop\\");
    if (desktop == std::wstring::npos) desktop = link.find(L"\\desktop\\");
    if (desktop == std::wstring::npos) return link;
    const std::size_t open = link.find(L'{');
    if (open == std::wstring::npos) return link;
    const std::size_t close = link.find(L'}', open + 1);
    if (close == std::wstring::npos) return link;
    const std::wstring key = Trim(std::wstring_view(link).substr(open + 1, close - open - 1));
    if (key.empty()) return link;
    const std::wstring name = readApplicationKey(key);
    if (name.empty()) return link;
    return link.substr(0, desktop + 9) + name;
}

std::wstring SecondListPath(const std::wstring& listPath) {
    const std::wstring copied = QuickCheckCopyOf(L".xml");
    if (listPath.find(copied, 1) != std::wstring::npos) return Replaced(listPath, copied, L".xml");
    return QuickCheckCopyOf(listPath);
}

std::wstring GrantParameters(const std::wstring& path) { return L"\"" + path + L"\" /grant Users:(D,WDAC)"; }

std::wstring DisplayPath(std::wstring path, const std::wstring& installFolder) {
    if (!installFolder.empty()) ReplaceAll(path, installFolder, L"");
    return path;
}

std::wstring TemporaryNameBeside(const std::wstring& target) { return target + L".__new"; }

std::wstring FileEntryPath(const AttributeLookup& attribute) {
    const auto first = [&](std::initializer_list<const wchar_t*> names) {
        for (const wchar_t* name : names) {
            std::wstring value = attribute(name);
            if (!value.empty()) return value;
        }
        return std::wstring();
    };
    std::wstring path = first({L"path", L"Path", L"File", L"file", L"Name", L"name"});
    std::wstring url = first({L"URL", L"url", L"Url"});
    const std::wstring lower = ToLower(path);
    if (StartsWith(lower, L"http:") || StartsWith(lower, L"https:")) {
        url = path;
        path.clear();
    }
    if (path.empty() && !url.empty()) {
        ReplaceAll(url, L"\\", L"/");
        ReplaceAll(url, L"//", L"/");
        const std::vector<std::wstring> parts = Split(url, L'/');
        if (!parts.empty()) path = parts.back();
        if (path.empty() && parts.size() >= 2) path = parts[parts.size() - 2];
    }
    ReplaceAll(path, L"|", L"\\");
    ReplaceAll(path, L"._.zip", L"");
    return Trim(path);
}

std::wstring JoinFolderPath(const std::wstring& folder, const std::wstring& path) {
    return CollapseSeparators(IsAbsolutePath(path) ? path : folder + L"\\" + path);
}

}  // namespace mf
