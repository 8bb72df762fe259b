#include "net/fetch_file.h"

#include "base/md5.h"
#include "base/messages.h"
#include "base/named_lock.h"
#include "base/signing.h"
#include "base/path_text.h"
#include "base/text_format.h"
#include "engine/process_state.h"
#include "net/net_limits.h"
#include "net/range_downloader.h"
#include "zip/unzip.h"

namespace mf {

namespace {

constexpr const wchar_t* kZipSuffix = L"._.zip";

// Logs a line and, for a record, appends it to the record's status text.
void Report(int index, const std::wstring& line) {
    WriteLog(line);
    if (index < 0) return;
    ScopedNamedLock lock(lock_id::kRecordStatus);
    DownLoadList& list = Process().updateList;
    if (index < list.GetSize()) list[index].status += line + L"\r\n";
}

// Whether a file has the content its digest keys name (none: any); a file
// that cannot be read has not. The line to report when it has not.
std::wstring ContentError(const std::wstring& path, const std::wstring& shown, const FetchOptions& keys) {
    std::wstring digest;
    if (!keys.md5Key.empty() && !(Md5OfFile(path, &digest) && Md5Matches(digest, keys.md5Key)))
        return TranslateFormat(L"md5 error[%s]", shown);
    if (!keys.sha256Key.empty() && !Sha256OfPathMatches(path, keys.sha256Key))
        return TranslateFormat(L"sha256 error[%s]", shown);
    return {};
}

// Makes a fetched record file its pending file, once it is known to be the
// content the list names. False (the file deleted) when it is not, or when
// it could not be moved: either way there is no pending file to install.
bool AcceptAsPending(int index, const std::wstring& target, const std::wstring& requestUrl, const FetchOptions& keys) {
    if (const std::wstring error = ContentError(target, requestUrl, keys); !error.empty()) {
        Report(index, error);
        DeleteFileForce(target);
        return false;
    }
    const std::wstring pending = target + L"_";
    // Only a file may stand at the pending path (not what an earlier fault
    // left there), or the move would fail on every pass.
    if (FolderExists(pending)) RemoveAnyEntry(pending);
    if (FileExists(target) && ReplaceFileWithRetry(target, pending)) return true;
    Report(index, L"error[" + pending + L"]");
    DeleteFileForce(target);
    return false;
}

// A pending file left by an earlier run stands for the file unless it is
// known to hold other content (a digest key it does not match: an earlier
// release of the file). Such a file is deleted and fetched again.
bool PendingFileUsable(int index, const std::wstring& pending, const FetchOptions& keys) {
    const std::wstring error = ContentError(pending, pending, keys);
    if (error.empty()) return true;
    Report(index, error);
    DeleteFileForce(pending);
    return false;
}

}  // namespace

bool ExtractSingleFile(const std::wstring& archive, const std::wstring& target, std::int64_t maxBytes) {
    // A target that cannot be replaced must not pass for the new content;
    // a folder an earlier fault left there goes.
    if (!RemoveAnyEntry(target)) return false;
    bool extracted = false;
    if (UniqueZip zip(OpenZip(archive)); zip) {
        ZipEntry entry;
        if (GetZipItem(zip.get(), 0, entry) != ZipResult::Ok) return false;
        // Only a file entry can become the file: a folder entry would make a
        // folder where the file belongs.
        if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || entry.name.empty() || entry.name.back() == L'/' ||
            entry.name.back() == L'\\') {
            WriteLog(Format(L"%s: the first entry is the folder %s, not a file", archive, entry.name));
            return false;
        }
        // A small archive may unpack to gigabytes: the entry's declared size
        // is checked before anything is written (the reader never produces
        // more than that size, and fails when the data holds more).
        if (entry.uncompressedSize > maxBytes) {
            WriteLog(Format(L"%s unpacks to %u bytes, over the limit of %ld", archive,
                            static_cast<unsigned>(entry.uncompressedSize), maxBytes));
            return false;
        }
        extracted = UnzipItemToFile(zip.get(), 0, target) == ZipResult::Ok;
        zip.reset();
        ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    // A failed extraction is a failure, whatever it left (the download phase
    // makes no pending file of it).
    if (extracted) return true;
    RemoveAnyEntry(target);
    return false;
}

int FetchFile(HWND window, int index, const std::wstring& url, const std::wstring& target,
              const FetchOptions& options) {
    const std::wstring pending = target + L"_";
    if (index >= 0 && FileExists(pending) && PendingFileUsable(index, pending, options)) {
        const auto size = static_cast<LPARAM>(static_cast<DWORD>(FileSize(pending)));
        if (window != nullptr) {
            ::SendMessageW(window, msg::kFileSize, static_cast<WPARAM>(index), size);
            ::SendMessageW(window, msg::kFileProgress, static_cast<WPARAM>(index), size);
        }
        return 0;
    }
    const std::wstring folder = FolderOf(target);
    if (!folder.empty() && !FolderExists(folder)) CreateFolderTree(folder);

    const bool isList = index < 0;
    // What an earlier fault left at the list's path, if not a file, goes.
    if (isList && FolderExists(target)) RemoveAnyEntry(target);
    bool zipMode = isList ? ReadConfigFlag(L"Mirefold", L"ListFileZip", L"0") : options.zip != ZipHint::Absent;
    // A file that the list marks as having no variant is asked for in one
    // form only: the phase's next run asks again.
    const int attempts = !isList && options.zip == ZipHint::Absent ? 1 : 2;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const std::wstring requestUrl = zipMode ? url + kZipSuffix : url;
        const std::wstring download = zipMode ? target + kZipSuffix : target;
        // A list, plain or zipped, is a document of bounded size.
        const std::int64_t maxBytes = isList ? Limits().documentBytes : kAnySize;
        if (DownloadFile(requestUrl, download, false, index, window, Process().fileConnections, maxBytes,
                         options.session) != 0) {
            Report(index, L"error[" + requestUrl + L"]");
            zipMode = !zipMode;
            RemoveAnyEntry(download);
            // The plain attempt writes the target itself: nothing but a file
            // may be left there.
            if (FolderExists(target)) RemoveAnyEntry(target);
            continue;
        }
        if (isList) WriteConfig(L"Mirefold", L"ListFileZip", zipMode ? L"1" : L"0");
        Report(index, L"done[" + requestUrl + L"]");
        if (!zipMode) {
            if (isList || AcceptAsPending(index, target, requestUrl, options)) return 0;
            zipMode = true;
            continue;
        }
        if (!isList && !ReadConfigFlag(L"Mirefold", L"UnZip", L"1")) return 0;  // installed as downloaded
        if (ExtractSingleFile(download, target, isList ? Limits().documentBytes : Limits().extractedBytes)) {
            Report(index, L"unzip ok[" + target + L"]");
            DeleteFileForce(download);
            if (isList || AcceptAsPending(index, target, requestUrl, options)) return 0;
            zipMode = false;
            continue;
        }
        Report(index, L"unzip error[" + target + L"]");
        DeleteFileForce(download);
        RemoveAnyEntry(target);
        zipMode = false;
    }
    return 1;
}

}  // namespace mf
