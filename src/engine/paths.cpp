#include "engine/paths.h"

#include <shlobj.h>
#include <windows.h>

#include <array>
#include <fstream>

#include "base/files.h"
#include "base/handles.h"
#include "base/path_text.h"
#include "base/strings.h"

namespace mf {

namespace {

std::wstring ShellPath(int csidl) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_DONT_VERIFY, nullptr, SHGFP_TYPE_CURRENT, buffer)))
        return {};
    return buffer;
}

std::wstring SystemFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    ::GetSystemDirectoryW(buffer, MAX_PATH);
    return buffer;
}

// Doubled backslashes reduced to one, except the two that begin a UNC or
// long-path name (a working folder on a network share).
std::wstring ReduceKeepingNetworkPrefix(std::wstring text) {
    if (!StartsWith(text, L"\\\\")) return ReduceBackslashes(std::move(text));
    return L"\\" + ReduceBackslashes(text.substr(1));
}

}  // namespace

std::wstring SystemShellFolder(ShellFolder folder) {
    switch (folder) {
        case ShellFolder::ProgramFiles: return ShellPath(CSIDL_PROGRAM_FILES);
        case ShellFolder::Documents: return ShellPath(CSIDL_PERSONAL);
        case ShellFolder::CommonDesktop: return ShellPath(CSIDL_COMMON_DESKTOPDIRECTORY);
        case ShellFolder::Desktop: return ShellPath(CSIDL_DESKTOPDIRECTORY);
        case ShellFolder::StartMenu: return ShellPath(CSIDL_STARTMENU);
        case ShellFolder::CommonStartMenu: return ShellPath(CSIDL_COMMON_STARTMENU);
        case ShellFolder::CommonStartup: return ShellPath(CSIDL_COMMON_STARTUP);
        case ShellFolder::Startup: return ShellPath(CSIDL_STARTUP);
        case ShellFolder::CommonPrograms: return ShellPath(CSIDL_COMMON_PROGRAMS);
        case ShellFolder::Programs: return ShellPath(CSIDL_PROGRAMS);
        case ShellFolder::Windows: return WindowsFolder();
        case ShellFolder::System: return SystemFolder();
        case ShellFolder::SysWow64: {
            const std::wstring wow = WindowsFolder() + L"\\SysWOW64";
            return FolderExists(wow) ? wow : SystemFolder();
        }
    }
    return {};
}

std::wstring ExpandMacrosWith(std::wstring text, const std::wstring& workFolder, const FolderSource& folders) {
    const std::wstring input = text;
    struct Word {
        const wchar_t* word;
        ShellFolder folder;
    };
    static constexpr std::array<Word, 15> kWords{{
        {L"{programfiles}", ShellFolder::ProgramFiles},
        {L"{pf}", ShellFolder::ProgramFiles},
        {L"{document}", ShellFolder::Documents},
        {L"{commondesktop}", ShellFolder::CommonDesktop},
        {L"{desktop}", ShellFolder::Desktop},
        {L"{startmenu}", ShellFolder::StartMenu},
        {L"{startupmenu}", ShellFolder::StartMenu},
        {L"{commonstartmenu}", ShellFolder::CommonStartMenu},
        {L"{commonstartupmenu}", ShellFolder::CommonStartMenu},
        {L"{commonstartup}", ShellFolder::CommonStartup},
        {L"{startup}", ShellFolder::Startup},
        {L"{commonprograms}", ShellFolder::CommonPrograms},
        {L"{startupprograms}", ShellFolder::CommonPrograms},
        {L"{programs}", ShellFolder::Programs},
        {L"{win}", ShellFolder::Windows},
    }};
    for (const Word& w : kWords) {
        if (Contains(text, w.word)) ReplaceAll(text, w.word, folders(w.folder));
    }
    if (Contains(text, L"{syswow64}")) {
        // The 32-bit system folder wins over everything after it.
        ReplaceAll(text, L"{syswow64}", folders(ShellFolder::SysWow64));
        return text;
    }
    if (Contains(text, L"{sys}")) ReplaceAll(text, L"{sys}", folders(ShellFolder::System));
    for (const wchar_t* word : {L"{target}", L"{path}", L"{app}"}) {
        if (Contains(text, word)) {
            ReplaceAll(text, word, workFolder);
            break;
        }
    }
    if (text != input) text = ReduceKeepingNetworkPrefix(std::move(text));
    return text;
}

std::wstring ResolvePathWith(const std::wstring& base, const std::wstring& text, const std::wstring& workFolder,
                             const FolderSource& folders) {
    std::wstring path = ExpandMacrosWith(text, workFolder, folders);
    switch (FormOf(path)) {
        case PathForm::Refused: return {};
        case PathForm::Relative: path = base + L"\\" + path; break;
        case PathForm::Absolute: break;
    }
    return CollapseSeparators(std::move(path));
}

std::wstring ResolveInsideWith(const std::wstring& base, const std::wstring& text, const std::wstring& workFolder,
                               const FolderSource& folders) {
    const std::wstring expanded = ExpandMacrosWith(text, workFolder, folders);
    if (FormOf(expanded) == PathForm::Relative && !StaysInside(expanded)) return {};
    return ResolvePathWith(base, text, workFolder, folders);
}

std::wstring ListNameHash(std::wstring_view text) {
    const std::wstring_view seed = L"AHABCD9999";
    std::array<unsigned, 10> v{};
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = seed[i];
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < v.size(); ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            v[i] = static_cast<unsigned>((v[i] + text[j] + text[j / 2] + i + j) % 199);
        }
    }
    static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring name;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i == 4) name += L'-';
        name += kHex[v[i] % 16];
    }
    return name;
}

Paths::Paths(Config& config, WorkFolder& workFolder)
    : config_(config), workFolder_(workFolder), folders_(SystemShellFolder) {}

std::wstring Paths::ExpandMacros(const std::wstring& text) {
    return ExpandMacrosWith(text, workFolder_.Get(), folders_);
}

std::wstring Paths::Resolve(const std::wstring& base, const std::wstring& text) {
    return ResolvePathWith(base, text, workFolder_.Get(), folders_);
}

std::wstring Paths::Resolve(const std::wstring& text) { return Resolve(workFolder_.Get(), text); }

std::wstring Paths::ResolveInside(const std::wstring& text) {
    return ResolveInsideWith(workFolder_.Get(), text, workFolder_.Get(), folders_);
}

std::wstring Paths::MainProgramPath() {
    std::wstring app = config_.Read(L"APPLICATION", L"Application");
    if (app.empty()) return app;
    if (!Contains(app, L":")) app = workFolder_.Get() + L"\\" + app;
    return ReduceBackslashes(std::move(app));
}

std::wstring Paths::TempFolder() {
    wchar_t buffer[MAX_PATH + 1] = {};
    ::GetTempPathW(MAX_PATH, buffer);
    std::wstring folder = buffer;
    if (config_.ReadFlag(L"Mirefold", L"TempAppPath", L"0")) return workFolder_.Get();
    std::wstring configured = config_.Read(L"Mirefold", L"TempPath");
    if (!configured.empty()) {
        configured = ExpandMacros(configured);
        if (!Contains(configured, L":")) configured = workFolder_.Get() + configured;
        return ReduceBackslashes(std::move(configured));
    }
    return folder;
}

void Paths::ComputeListPaths() {
    std::lock_guard guard(mutex_);
    if (listPathsReady_) return;
    listName_ = ListNameHash(config_.Read(L"UPDATEINFO", L"ListURL") + L"9999999999");
    const std::wstring temp = TempFolder();
    listBase_ = ReduceBackslashes(temp + L"\\" + listName_);
    listFile_ = listBase_ + L".xml";
    savedListFile_ = listBase_ + L".lst";
    packageFile_ = listBase_ + L".bin";
    listPathsReady_ = true;
}

std::wstring Paths::ListCacheName() { ComputeListPaths(); return listName_; }
std::wstring Paths::ListCacheBase() { ComputeListPaths(); return listBase_; }
std::wstring Paths::ListFile() { ComputeListPaths(); return listFile_; }
std::wstring Paths::SavedListFile() { ComputeListPaths(); return savedListFile_; }
std::wstring Paths::PackageFile() { ComputeListPaths(); return packageFile_; }
std::wstring Paths::QuickCheckCopy() { return QuickCheckCopyOf(ListFile()); }

std::vector<std::wstring> Paths::ListCacheFiles() {
    const std::wstring base = ListCacheBase();
    return {QuickCheckCopy(), ListFile(), PackageFile(), base + L".ini"};
}

std::wstring QuickCheckCopyOf(const std::wstring& listFile) { return listFile + L".xml"; }
std::wstring MainListFileOf(const std::wstring& listFile) { return listFile + L".main.xml"; }

std::wstring Paths::OldFilesListPath() { return ReduceBackslashes(workFolder_.Get() + L"\\__oldfiles.lst"); }

void Paths::RecordOldFile(const std::wstring& path) {
    UniqueFile file(::CreateFileW(OldFilesListPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    const std::string line = Narrow(L"\r\n" + path);
    DWORD written = 0;
    ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void Paths::PurgeOldFiles() {
    const std::wstring listPath = OldFilesListPath();
    std::ifstream in(listPath.c_str(), std::ios::binary);
    if (!in) return;
    bool allDeleted = true;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() > 1024) line.resize(1024);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::wstring path = Trim(Widen(line));
        if (path.empty()) continue;
        // The list only ever names files of the installation: the backups
        // of files that were in use. Whatever else it holds (somebody
        // shipped or wrote a list of their own) is never deleted.
        const std::wstring absolute = ResolvePathWith(workFolder_.Get(), path, workFolder_.Get(), folders_);
        if (absolute.empty() || !IsInside(absolute, workFolder_.Get())) continue;
        if (!FileExists(absolute)) continue;
        if (!DeleteFileForce(absolute)) allDeleted = false;
    }
    in.close();
    if (allDeleted) DeleteFileForce(listPath);
}

bool Paths::DeleteFileRelative(const std::wstring& path) {
    std::wstring absolute = path;
    if (!Contains(absolute, L":")) absolute = ReduceBackslashes(workFolder_.Get() + L"\\" + path);
    return DeleteFileForce(absolute);
}

}  // namespace mf
