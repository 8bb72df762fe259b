#include "apply/install_file.h"

#include <windows.h>

#include "apply/install_rules.h"
#include "base/files.h"
#include "base/path_text.h"
#include "engine/process_state.h"

namespace mf {

bool MoveAside(const std::wstring& target) {
    for (const std::wstring& name : BackupNames(target)) {
        if (::MoveFileW(target.c_str(), name.c_str())) {
            Process().paths.RecordOldFile(name);
            return true;
        }
        WriteLog(TranslateFormat(L"backup file error[%s]to[%s]", target, name));
    }
    return false;
}

std::wstring TemporaryCopyName(const std::wstring& target) {
    const std::wstring temporary = TemporaryNameBeside(target);
    Process().paths.RecordOldFile(temporary);
    return temporary;
}

bool CopyIntoPlace(const std::wstring& source, const std::wstring& target) {
    const std::wstring temporary = TemporaryCopyName(target);
    if (!::CopyFileW(source.c_str(), temporary.c_str(), FALSE)) {
        DeleteFileForce(temporary);
        return false;
    }
    if (::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    DeleteFileForce(temporary);
    return false;
}

bool MoveIntoPlace(const std::wstring& source, const std::wstring& target) {
    if (::MoveFileExW(source.c_str(), target.c_str(), 0)) return true;
    if (::GetLastError() != ERROR_NOT_SAME_DEVICE) return false;
    if (!CopyIntoPlace(source, target)) return false;
    DeleteFileForce(source);
    return true;
}

bool InstallFile(const std::wstring& source, const std::vector<std::wstring>& targets) {
    const std::wstring pending = source + L"_";
    if (!FileExists(pending)) return false;
    for (std::size_t j = 0; j < targets.size(); ++j) {
        const std::wstring& target = targets[j];
        const std::wstring folder = FolderOf(target);
        if (!folder.empty()) CreateFolderTree(folder);
        if (::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES && !DeleteFileForce(target) &&
            !MoveAside(target))
            return false;
        const bool last = j + 1 == targets.size();
        if (last ? MoveIntoPlace(pending, target) : CopyIntoPlace(pending, target)) {
            WriteLog(TranslateFormat(L"update file[%s]", target));
            continue;
        }
        WriteLog(last ? TranslateFormat(L"move file error[%s]to[%s]", pending, target)
                      : TranslateFormat(L"copy file error[%s]to[%s]", pending, target));
        return false;
    }
    return true;
}

}  // namespace mf
