#include "publisher.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "base/files.h"
#include "base/handles.h"
#include "base/path_text.h"
#include "base/strings.h"
#include "list_writer.h"
#include "manifest.h"
#include "base/md5.h"
#include "previous_release.h"
#include "release_signing.h"
#include "release_tree.h"
#include "zip_writer.h"

namespace mf::publish {

namespace {

constexpr const wchar_t* kZipSuffix = L"._.zip";
constexpr std::size_t kChunk = 256 * 1024;
// A manifest names a few thousand files.
constexpr std::uint64_t kManifestMax = 64 * 1024 * 1024;

std::wstring ErrorCode() {
    return L" (error " + ToWString(static_cast<long long>(::GetLastError())) + L")";
}

struct CopiedFile {
    std::wstring md5;
    std::wstring sha256;  // only when asked for
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
};

// Copies the file and takes its MD5 and CRC-32 from the very bytes written,
// so the key in the list always describes the published copy.
bool CopyAndHash(const std::wstring& source, const std::wstring& target, bool withSha256, CopiedFile& copied,
                 std::wstring& error) {
    UniqueFile in(::CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) {
        error = L"cannot open " + source + ErrorCode();
        return false;
    }
    UniqueFile out(
        ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        error = L"cannot create " + target + ErrorCode();
        return false;
    }
    Md5 md5;
    if (!md5.valid()) {
        error = L"the system's MD5 provider is not available";
        return false;
    }
    std::optional<Sha256> sha256;
    if (withSha256) sha256.emplace();
    std::vector<unsigned char> buffer(kChunk);
    uLong crc = crc32(0L, Z_NULL, 0);
    copied.size = 0;
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            error = L"cannot read " + source + ErrorCode();
            return false;
        }
        if (got == 0) break;
        md5.Update(buffer.data(), got);
        if (sha256) sha256->Update(buffer.data(), got);
        crc = crc32(crc, buffer.data(), got);
        copied.size += got;
        DWORD written = 0;
        if (!::WriteFile(out.get(), buffer.data(), got, &written, nullptr) || written != got) {
            error = L"cannot write " + target + ErrorCode();
            return false;
        }
    }
    copied.md5 = md5.Finish();
    if (sha256) {
        const std::optional<Sha256Digest> digest = sha256->Finish();
        if (!digest) return error = L"cannot compute the SHA-256 of " + source, false;
        copied.sha256 = HexText(*digest);
    }
    copied.crc = static_cast<std::uint32_t>(crc);
    if (copied.md5.empty()) {
        error = L"cannot compute the MD5 of " + source;
        return false;
    }
    if (copied.size > kMaxFileSize) {
        error = source + L" is 2 GiB or larger; the engine downloads files below 2 GiB only";
        return false;
    }
    return true;
}

class Publisher {
public:
    Publisher(const PublishOptions& options, PublishSummary& summary) : o_(options), s_(summary) {}

    ~Publisher() {
        if (!staging_.empty()) RemoveTree(staging_);
    }

    bool Run(std::wstring& error) {
        const auto start = std::chrono::steady_clock::now();
        s_ = PublishSummary{};
        if (!CheckFolders(error) || !ReadKey(error) || !ReadManifest(error) || !ReadRelease(error) || !ApplyManifest(error) ||
            !ReadPrevious(error) || !CheckOutput(error) || !Stage(error) || !Swap(error))
            return false;
        s_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return true;
    }

private:
    bool Cancelled(std::wstring& error) const {
        if (o_.cancel == nullptr || !o_.cancel->load()) return false;
        error = L"cancelled";
        return true;
    }

    bool CheckFolders(std::wstring& error) {
        if (o_.releaseFolder.empty() || o_.outFolder.empty())
            return error = L"a release and an output folder are needed", false;
        release_ = FullPath(o_.releaseFolder);
        out_ = FullPath(o_.outFolder);
        if (!FolderExists(release_)) return error = L"the release folder " + release_ + L" does not exist", false;
        const std::wstring& name = o_.listName;
        if (name.empty() || name.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos || name == L"." || name == L"..")
            return error = L"the list name \"" + name + L"\" is not a plain file name", false;
        if (IsInside(out_, release_) || IsInside(release_, out_))
            return error = L"the output folder " + out_ + L" and the release folder " + release_ +
                           L" must not contain each other",
                   false;
        if (FileExists(out_)) return error = L"the output " + out_ + L" is a file, not a folder", false;
        if (!o_.previousFolder.empty()) {
            previousFolder_ = FullPath(o_.previousFolder);
            if (!FolderExists(previousFolder_))
                return error = L"the previous release folder " + previousFolder_ + L" does not exist", false;
        }
        return true;
    }

    bool ReadKey(std::wstring& error) {
        if (o_.keyFile.empty()) return true;
        key_ = ReadKeyFile(FullPath(o_.keyFile), error);
        return key_.has_value();
    }

    bool ReadManifest(std::wstring& error) {
        std::wstring path = o_.manifestPath.empty() ? release_ + L"\\" + kManifestName : FullPath(o_.manifestPath);
        if (o_.manifestPath.empty() && !FileExists(path)) return true;
        std::string bytes;
        if (!ReadWholeFile(path, bytes, kManifestMax))
            return error = L"cannot read the manifest " + path + ErrorCode(), false;
        std::wstring problem;
        if (!ParseManifest(DecodeManifest(bytes), manifest_, problem)) return error = path + L":" + problem, false;
        manifestPath_ = path;
        return true;
    }

    bool ReadRelease(std::wstring& error) {
        std::vector<std::wstring> skipped;
        if (!ScanRelease(release_, files_, skipped, error)) return false;
        for (const std::wstring& link : skipped)
            s_.warnings.push_back(L"skipped " + link + L": a link to another folder is not published");
        for (std::size_t i = 0; i < files_.size(); ++i) {
            const ReleaseFile& f = files_[i];
            if (std::wstring problem = PathProblem(f.path, o_.listName); !problem.empty())
                return error = L"cannot publish " + f.path + L": " + problem, false;
            if (f.size > kMaxFileSize)
                return error = L"cannot publish " + f.path +
                               L": it is 2 GiB or larger; the engine downloads files below 2 GiB only",
                       false;
            if (i > 0 && EqualsNoCase(files_[i - 1].path, f.path))
                return error = L"cannot publish both " + files_[i - 1].path + L" and " + f.path +
                               L": the engine takes paths that differ only in case for one file",
                       false;
            byLowerPath_[ToLower(f.path)] = i;
            s_.bytes += f.size;
        }
        return true;
    }

    std::wstring ManifestLine(int line) const { return manifestPath_ + L":" + ToWString(line) + L": "; }

    bool ApplyManifest(std::wstring& error) {
        settings_.assign(files_.size(), nullptr);
        for (const FileSettings& s : manifest_.files) {
            const auto found = byLowerPath_.find(ToLower(s.path));
            if (found == byLowerPath_.end())
                return error = ManifestLine(s.line) + L"[file:" + s.path + L"] names a file that is not in the release",
                       false;
            if (settings_[found->second] != nullptr)
                return error = ManifestLine(s.line) + L"[file:" + s.path + L"] is given twice", false;
            settings_[found->second] = &s;
        }
        for (const DeletedPath& d : manifest_.deleted) {
            if (byLowerPath_.count(ToLower(d.path)) != 0)
                return error = ManifestLine(d.line) + d.path +
                               L" is in the release; a file cannot be both published and deleted",
                       false;
            if (std::wstring problem = DeletedPathProblem(d.path); !problem.empty())
                return error = ManifestLine(d.line) + L"cannot delete " + d.path + L": " + problem, false;
        }
        return true;
    }

    static std::wstring DeletedPathProblem(const std::wstring& path) {
        if (Contains(ToLower(path), L"._.zip")) return L"the engine removes \"._.zip\" from list paths";
        if (path[0] == L'\\' || (path.size() > 1 && path[1] == L':'))
            return L"the path must be relative to the installation folder (or begin with a folder macro)";
        for (const std::wstring& part : Split(path, L'\\'))
            if (part == L"..") return L"the path must stay inside the installation folder";
        return {};
    }

    bool ReadPrevious(std::wstring& error) {
        if (previousFolder_.empty()) return true;
        if (!ReadPreviousRelease(previousFolder_, o_.listName, previous_, error)) return false;
        s_.compared = true;
        return true;
    }

    // The output folder is replaced as a whole. It may hold what an earlier
    // run wrote and nothing else, so that no file of the vendor's is lost.
    bool CheckOutput(std::wstring& error) {
        if (!FolderExists(out_)) return true;
        std::set<std::wstring> allowed;
        if (FileExists(out_ + L"\\" + o_.listName)) {
            PreviousRelease written;
            if (ReadPreviousRelease(out_, o_.listName, written, error))
                for (std::wstring& name : PublishedNames(written, o_.listName)) allowed.insert(std::move(name));
            error.clear();
        }
        std::wstring foreign;
        FindForeign(out_, L"", allowed, foreign);
        if (!foreign.empty())
            return error = L"the output folder " + out_ + L" holds " + foreign +
                           L", which no earlier publishing wrote there; move it away or choose another folder",
                   false;
        return true;
    }

    void FindForeign(const std::wstring& root, const std::wstring& relative, const std::set<std::wstring>& allowed,
                     std::wstring& foreign) const {
        WIN32_FIND_DATAW data{};
        UniqueFind find(
            ::FindFirstFileW(((relative.empty() ? root : root + L"\\" + relative) + L"\\*").c_str(), &data));
        if (!find) return;
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                if (allowed.count(ToLower(path)) == 0) foreign = path;
            } else if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                foreign = path;
            } else {
                FindForeign(root, path, allowed, foreign);
            }
        } while (foreign.empty() && ::FindNextFileW(find.get(), &data));
    }

    bool Stage(std::wstring& error) {
        const std::wstring parent = FolderOf(out_);
        if (!parent.empty() && !FolderExists(parent) && !CreateFolderTree(parent))
            return error = L"cannot create " + parent + ErrorCode(), false;
        const std::wstring staging = out_ + L".~publish-" + ToWString(static_cast<long long>(::GetCurrentProcessId()));
        if (FolderExists(staging)) RemoveTree(staging);
        if (!::CreateDirectoryW(staging.c_str(), nullptr))
            return error = L"cannot create " + staging + ErrorCode(), false;
        staging_ = staging;

        std::vector<ListedFile> listed(files_.size());
        PublishProgress progress;
        progress.filesTotal = files_.size();
        progress.bytesTotal = s_.bytes;
        for (std::size_t i = 0; i < files_.size(); ++i) {
            if (Cancelled(error) || !StageFile(files_[i], listed[i], error)) return false;
            listed[i].settings = settings_[i];
            progress.filesDone = i + 1;
            progress.bytesDone += files_[i].size;
            progress.path = files_[i].path;
            if (o_.progress) o_.progress(progress);
        }
        s_.files = files_.size();
        Compare(listed);
        return StageList(listed, error);
    }

    bool StageFile(const ReleaseFile& file, ListedFile& listed, std::wstring& error) {
        const std::wstring source = release_ + L"\\" + file.path;
        const std::wstring target = staging_ + L"\\" + file.path;
        const std::wstring folder = FolderOf(target);
        if (!FolderExists(folder) && !CreateFolderTree(folder))
            return error = L"cannot create " + folder + ErrorCode(), false;
        CopiedFile copied;
        if (!CopyAndHash(source, target, key_.has_value(), copied, error)) return false;
        listed.path = file.path;
        listed.md5 = copied.md5;
        listed.sha256 = copied.sha256;
        if (!ReuseZip(file.path, copied) &&
            !MakeZip(target, LastComponent(file.path), file.modified, copied.crc, error))
            return false;
        listed.zipVariant = KeepZipIfSmaller(target, copied.size);
        return true;
    }

    // An unchanged file's zip variant from the previous release, when it
    // still describes the same bytes.
    bool ReuseZip(const std::wstring& path, const CopiedFile& copied) {
        if (previousFolder_.empty()) return false;
        const auto old = previous_.md5ByPath.find(path);
        if (old == previous_.md5ByPath.end() || old->second != copied.md5) return false;
        const std::wstring oldZip = previousFolder_ + L"\\" + path + kZipSuffix;
        ZipEntryFacts facts;
        if (!ReadSingleEntryFacts(oldZip, facts) || facts.crc != copied.crc || facts.size != copied.size ||
            facts.name != LastComponent(path))
            return false;
        if (!::CopyFileW(oldZip.c_str(), (staging_ + L"\\" + path + kZipSuffix).c_str(), FALSE)) return false;
        ++s_.reusedZips;
        return true;
    }

    bool MakeZip(const std::wstring& file, const std::wstring& entryName, const FILETIME& modified, std::uint32_t crc,
                 std::wstring& error) {
        ZipEntryFacts facts;
        if (!WriteSingleEntryZip(file, file + kZipSuffix, entryName, modified, facts, error)) return false;
        if (facts.crc != crc) return error = L"the copy of " + file + L" changed while it was compressed", false;
        return true;
    }

    // Whether the zip variant stays published.
    bool KeepZipIfSmaller(const std::wstring& file, std::uint64_t size) {
        const std::wstring zip = file + kZipSuffix;
        const std::uint64_t zipSize = FileSize(zip);
        if (o_.zipIfSmaller && zipSize >= size) {
            DeleteFileForce(zip);
            return false;
        }
        ++s_.zipVariants;
        s_.zipBytes += zipSize;
        return true;
    }

    void Compare(const std::vector<ListedFile>& listed) {
        if (!s_.compared) return;
        std::set<std::wstring> present;
        for (const ListedFile& f : listed) {
            present.insert(f.path);
            const auto old = previous_.md5ByPath.find(f.path);
            if (old == previous_.md5ByPath.end() || old->second != f.md5) s_.changed.push_back(f.path);
        }
        for (const auto& [path, md5] : previous_.md5ByPath)
            if (present.count(path) == 0) s_.removed.push_back(path);
    }

    bool StageList(const std::vector<ListedFile>& listed, std::wstring& error) {
        const std::wstring list = staging_ + L"\\" + o_.listName;
        const std::string bytes = BuildList(listed, manifest_, RootAttributes());
        if (!WriteWholeFile(list, bytes)) return error = L"cannot write " + list + ErrorCode(), false;
        if (key_ && !SignFile(list, *key_, error)) return false;
        FILETIME now{};
        ::GetSystemTimeAsFileTime(&now);
        const uLong crc =
            crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
        if (!MakeZip(list, o_.listName, now, static_cast<std::uint32_t>(crc), error)) return false;
        (void)KeepZipIfSmaller(list, bytes.size());
        return true;
    }

    // The serial and expiry of a signed release, as root attributes.
    std::wstring RootAttributes() {
        if (!key_) return {};
        s_.serial = o_.serial ? *o_.serial : DefaultSerial(previous_.serial);
        std::wstring text = L" " + std::wstring(kSerialAttribute) + L"=\"" +
                            ToWString(static_cast<long long>(s_.serial)) + L"\"";
        if (o_.expiresDays > 0)
            text += L" " + std::wstring(kExpiresAttribute) + L"=\"" + ExpiryAfterDays(o_.expiresDays) + L"\"";
        return text;
    }

    bool Swap(std::wstring& error) {
        if (Cancelled(error)) return false;
        if (!FolderExists(out_)) {
            if (!::MoveFileExW(staging_.c_str(), out_.c_str(), 0))
                return error = L"cannot move the new release to " + out_ + ErrorCode(), false;
            staging_.clear();
            return true;
        }
        const std::wstring old = out_ + L".~old-" + ToWString(static_cast<long long>(::GetCurrentProcessId()));
        if (FolderExists(old)) RemoveTree(old);
        if (!::MoveFileExW(out_.c_str(), old.c_str(), 0))
            return error = L"cannot move " + out_ + L" aside (is a file in it open?)" + ErrorCode(), false;
        if (!::MoveFileExW(staging_.c_str(), out_.c_str(), 0)) {
            const std::wstring reason = ErrorCode();
            if (!::MoveFileExW(old.c_str(), out_.c_str(), 0))
                return error = L"cannot move the new release to " + out_ + reason + L"; the earlier release is in " +
                               old + L" and the new one in " + std::exchange(staging_, std::wstring()),
                       false;
            return error = L"cannot move the new release to " + out_ + reason, false;
        }
        staging_.clear();
        RemoveTree(old);
        if (FolderExists(old)) s_.warnings.push_back(L"could not remove the replaced release " + old);
        return true;
    }

    const PublishOptions& o_;
    PublishSummary& s_;
    std::wstring release_, out_, previousFolder_, manifestPath_, staging_;
    Manifest manifest_;
    std::vector<ReleaseFile> files_;
    std::vector<const FileSettings*> settings_;
    std::map<std::wstring, std::size_t> byLowerPath_;
    PreviousRelease previous_;
    std::optional<SigningKey> key_;
};

}  // namespace

bool Publish(const PublishOptions& options, PublishSummary& summary, std::wstring& error) {
    error.clear();
    Publisher publisher(options, summary);
    return publisher.Run(error);
}

}  // namespace mf::publish
