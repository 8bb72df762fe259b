// mirefold-pack ENGINE.exe PRODUCT_FOLDER OUT.exe
//
// Builds a single-file offline update: copies the (branded) engine to
// OUT.exe and appends a package holding the release that PRODUCT_FOLDER
// serves - the folder laid out as the update server serves a product, with
// its "update.xml" beside the files (each file plain or as its "._.zip"
// variant). Started, OUT.exe takes the package's files as downloaded and
// goes on as if an update check had found them; no server is needed. The
// list's signature ("update.xml.sig"), when the folder has one, goes along.
// The package format is described in src/apply/embedded_package.h.
#include <windows.h>

#include <cstdio>
#include <limits>
#include <string>

#include "apply/embedded_package.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/path_text.h"
#include "base/strings.h"
#include "check/update_list_reader.h"
#include "list/list_archive.h"
#include "list/release_marks.h"
#include "zip/unzip.h"
#include "zip/zip_writer.h"

namespace mf::pack {
namespace {

int Fail(const std::string& what) {
    std::fprintf(stderr, "mirefold-pack: %s\n", what.c_str());
    return 1;
}

std::string Utf8(const std::wstring& text) { return Narrow(text, CodePage::Utf8); }

// A scratch folder of this run, removed at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ = ReduceBackslashes(std::wstring(temp) + L"\\mirefold-pack-" + std::to_wstring(::GetCurrentProcessId()));
        RemoveTree(path_);
        CreateFolderTree(path_);
    }
    ~ScratchFolder() { RemoveTree(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    [[nodiscard]] std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// A list path the package can carry: relative, inside the installation,
// and none of the package's own names.
bool IsPackablePath(const std::wstring& path) {
    if (path.empty() || path.find(L':') != std::wstring::npos || path.front() == L'\\' || path.front() == L'/')
        return false;
    for (const std::wstring& part : Split(Replaced(path, L"/", L"\\"), L'\\')) {
        if (part == L"..") return false;
    }
    return !IsReservedPackageName(path);
}

// A target list (desname, shortcut) the package can carry: its absolute
// paths and macros name places elsewhere, as lists may; its relative ones
// stay inside the installation.
bool IsPackableTargetList(const std::wstring& list) {
    std::wstring separated = list;
    ReplaceAll(separated, L",", L";");
    ReplaceAll(separated, L"|", L";");
    for (const std::wstring& item : Split(separated, L';')) {
        if (item.empty() || StartsWith(item, L"{")) continue;
        const PathForm form = FormOf(item);
        if (form == PathForm::Refused || (form == PathForm::Relative && (!StaysInside(item) || item == L"..")))
            return false;
    }
    return true;
}

// The file of the release for a list path: the zip variant unpacked (as the
// download phase does: its first entry), else the plain file; empty when
// the folder has neither.
std::wstring ReleaseFile(const std::wstring& folder, const std::wstring& path, const ScratchFolder& scratch,
                         int index) {
    const std::wstring plain = ReduceBackslashes(folder + L"\\" + Replaced(path, L"/", L"\\"));
    const std::wstring variant = plain + L"._.zip";
    if (FileExists(variant)) {
        const std::wstring unpacked = scratch / (L"file" + std::to_wstring(index));
        const UniqueZip zip(OpenZip(variant));
        if (zip && UnzipItemToFile(zip.get(), 0, unpacked) == ZipResult::Ok) return unpacked;
        std::fprintf(stderr, "mirefold-pack: %s cannot be unpacked; taking the plain file\n", Utf8(variant).c_str());
    }
    return FileExists(plain) ? plain : std::wstring();
}

bool HasPackageTrailer(const std::wstring& exe) {
    const UniqueFile file(
        ::CreateFileW(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart < static_cast<LONGLONG>(kPackageTrailerSize))
        return false;
    LARGE_INTEGER at{};
    at.QuadPart = size.QuadPart - static_cast<LONGLONG>(kPackageTrailerSize);
    char trailer[kPackageTrailerSize] = {};
    DWORD read = 0;
    return ::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) &&
           ::ReadFile(file.get(), trailer, sizeof trailer, &read, nullptr) && read == sizeof trailer &&
           ParsePackageTrailer(std::string_view(trailer, sizeof trailer)).has_value();
}

int Pack(const std::wstring& engine, const std::wstring& folder, const std::wstring& out) {
    const std::wstring listPath = ReduceBackslashes(folder + L"\\update.xml");
    std::string listBytes;
    if (!ReadWholeFile(listPath, listBytes)) return Fail("cannot read " + Utf8(listPath));
    // A signed release's signature goes with its list: an engine that
    // requires signed lists takes the package only with it.
    std::string signature;
    const bool signedRelease = FileExists(listPath + kSignatureSuffix);
    if (signedRelease && !ReadWholeFile(listPath + kSignatureSuffix, signature, kSignatureFileMax))
        return Fail("cannot read " + Utf8(listPath + kSignatureSuffix));
    if (HasPackageTrailer(engine)) return Fail(Utf8(engine) + " already carries a package; take the engine without it");

    ScratchFolder scratch;
    DownLoadList list;
    std::wstring formatError;
    {
        const ComInit com;
        if (!ReadUpdateList(listPath, list, true, &formatError))
            return Fail("cannot read the update list " + Utf8(listPath) +
                        (formatError.empty() ? "" : ": " + Utf8(formatError)));
    }

    if (!::CopyFileW(engine.c_str(), out.c_str(), FALSE)) return Fail("cannot copy the engine to " + Utf8(out));
    ::SetFileAttributesW(out.c_str(), FILE_ATTRIBUTE_NORMAL);
    bool written = false;
    std::string refusal;
    {
        const UniqueFile file(::CreateFileW(out.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return Fail("cannot open " + Utf8(out));
        LARGE_INTEGER engineSize{};
        ::GetFileSizeEx(file.get(), &engineSize);

        ZipWriter zip(file.get());
        int files = 0;
        for (int i = 0; i < list.GetSize(); ++i) {
            const updatefileinfo& record = list[i];
            if (IsFileRecord(record) &&
                (!IsPackableTargetList(record.desname) || !IsPackableTargetList(record.shortcut))) {
                refusal = "the list names a target outside the installation for " + Utf8(record.path) + ": " +
                          Utf8(record.desname.empty() ? record.shortcut : record.desname);
                break;
            }
            if (!RecordNeedsFile(record)) continue;
            if (!IsPackablePath(record.path)) {
                refusal = "the list names a path a package cannot carry: " + Utf8(record.path);
                break;
            }
            const std::wstring source = ReleaseFile(folder, record.path, scratch, i);
            if (source.empty()) {
                refusal = "the folder has no file (plain or ._.zip) for " + Utf8(record.path);
                break;
            }
            if (!zip.AddFile(record.path, source)) break;
            ++files;
        }
        ListArchive records;
        list.Serialize(records);
        written = refusal.empty() && zip.Error().empty() && zip.AddBytes(kPackageListEntry, listBytes) &&
                  zip.AddBytes(kPackageRecordsEntry, records.Bytes()) &&
                  (!signedRelease || zip.AddBytes(kPackageSignatureEntry, signature)) && zip.Finish();
        const std::int64_t end = engineSize.QuadPart + zip.Length();
        if (written && end > std::numeric_limits<std::int32_t>::max()) {
            written = false;
            std::fprintf(stderr, "mirefold-pack: the engine and its package exceed 2 GiB\n");
        }
        if (written) {
            const std::string trailer = MakePackageTrailer(static_cast<std::int32_t>(engineSize.QuadPart),
                                                           static_cast<std::int32_t>(zip.Length()));
            DWORD count = 0;
            written = ::WriteFile(file.get(), trailer.data(), static_cast<DWORD>(trailer.size()), &count, nullptr) &&
                      count == trailer.size();
        }
        if (!zip.Error().empty()) std::fprintf(stderr, "mirefold-pack: %s\n", Utf8(zip.Error()).c_str());
        if (written) {
            std::printf("mirefold-pack: %s: %d files, package of %lld bytes\n", Utf8(out).c_str(), files,
                        static_cast<long long>(zip.Length()));
        }
    }
    // The output file is closed here: a refused or failed package leaves none.
    if (!written) {
        ::DeleteFileW(out.c_str());
        return Fail(refusal.empty() ? "cannot write the package into " + Utf8(out) : refusal);
    }
    return 0;
}

}  // namespace
}  // namespace mf::pack

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: mirefold-pack ENGINE.exe PRODUCT_FOLDER OUT.exe\n");
        return 2;
    }
    try {
        return mf::pack::Pack(argv[1], argv[2], argv[3]);
    } catch (...) {
        std::fprintf(stderr, "mirefold-pack: unexpected failure\n");
        return 1;
    }
}
