#include "apply/download_rules.h"

#include "base/path_text.h"
#include "base/strings.h"
#include "engine/process_state.h"
#include "net/internet.h"

namespace mf {

std::wstring BuildFileUrlWith(const updatefileinfo& record, const std::wstring& fileUrlTemplate,
                              const std::wstring& baseUrl) {
    if (!record.url.empty()) return record.url;
    std::wstring url = fileUrlTemplate;
    ReplaceAll(url, L"{listurl-base}", baseUrl);
    ReplaceAll(url, L"{filename}", record.path);
    return JoinUrl(url, L"");
}

std::wstring DownloadPathWith(const std::wstring& downloadFolder, const std::wstring& recordPath) {
    switch (FormOf(recordPath)) {
        case PathForm::Refused: return {};
        case PathForm::Relative:
            if (!StaysInside(recordPath)) return {};
            return CollapseSeparators(downloadFolder + L"\\" + recordPath);
        case PathForm::Absolute: break;
    }
    // A file named by its absolute path is fetched into the download folder
    // like any other, under the path without what made it absolute:
    // "C:\x\a.dll" and "\\?\C:\x\a.dll" as "C\x\a.dll", "\\server\share\a.dll" as
    // "server\share\a.dll".
    std::wstring rest = CollapseSeparators(recordPath);
    if (StartsWith(rest, L"\\\\?\\")) rest.erase(0, 4);
    if (StartsWith(ToUpper(rest), L"UNC\\")) rest.erase(0, 4);
    while (!rest.empty() && rest.front() == L'\\') rest.erase(0, 1);
    if (rest.size() >= 2 && rest[1] == L':') rest.erase(1, 1);
    if (!StaysInside(rest)) return {};
    return CollapseSeparators(downloadFolder + L"\\" + kAbsolutePathsFolder + L"\\" + rest);
}

bool NothingToDownload(std::int32_t oper) { return !BringsFile(oper); }

std::vector<int> DownloadWorkList(int recordCount, const std::vector<unsigned>& errors) {
    std::vector<int> work;
    if (errors.empty()) {
        for (int i = 0; i < recordCount; ++i) work.push_back(i);
        return work;
    }
    for (const unsigned index : errors)
        if (index < static_cast<unsigned>(recordCount < 0 ? 0 : recordCount)) work.push_back(static_cast<int>(index));
    return work;
}

bool FileSlotsFull(int position, int completedInRun, int errorCount, int threadCount) {
    return (position + 1) - completedInRun - errorCount >= threadCount;
}

bool AllFilesCounted(int errorCount, int completed, int recordCount) { return errorCount + completed >= recordCount; }

std::wstring ProgressText(const DownloadProgress& p) {
    if (p.errors == 0)
        return TranslateFormat(L"Downloading, complete %d/%d, total thread %d ...", p.completed, p.total, p.active);
    return TranslateFormat(L"Error %d files,complete %d/%d", p.errors, p.completed, p.total);
}

std::wstring CompletionText(const DownloadProgress& p) {
    if (p.errors == 0) return TranslateFormat(L"Download completed %d/%d.", p.completed, p.total);
    return TranslateFormat(L"Error %d files,complete %d/%d", p.errors, p.completed, p.total);
}

std::wstring StartText(bool errorFilesOnly) {
    return Translate(errorFilesOnly ? L"Downloading error files..." : L"Downloading to temporary directory...");
}

bool ShouldRetryDownload(UpdateStatus status, int completed, int retriesDone, bool stopRequested) {
    return status == UpdateStatus::DownloadError && completed != 0 && retriesDone < kMaxDownloadRetries &&
           !stopRequested;
}

}  // namespace mf
