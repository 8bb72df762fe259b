// Extraction to files from archives made by Info-ZIP and Python, opened by
// name, by handle and from memory.
#include <gtest/gtest.h>

#include "base/strings.h"
#include "engine/paths.h"
#include "zip/unzip.h"
#include "zip/zip_test_support.h"

namespace mf {
namespace {

using test::Fixture;
using test::SourceBytes;
using test::TempFolder;
using test::OpenArchive;
using test::Ticks;
using test::UnixTicks;


// Makes a folder the current one for a while: relative targets lie below
// the folder that was current when the archive was opened.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::wstring& folder) {
        wchar_t previous[MAX_PATH] = {};
        ::GetCurrentDirectoryW(MAX_PATH, previous);
        previous_ = previous;
        ::SetCurrentDirectoryW(folder.c_str());
    }
    ~CurrentFolder() { ::SetCurrentDirectoryW(previous_.c_str()); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::wstring previous_;
};

int IndexOf(ZipHandle zip, const std::wstring& name) {
    ZipEntry entry;
    EXPECT_EQ(FindZipItem(zip, name, false, entry), ZipResult::Ok) << name;
    return entry.index;
}

DWORD Attributes(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }

struct FileTimes {
    std::uint64_t created = 0, accessed = 0, modified = 0;
};

FileTimes TimesOf(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    FILETIME c{}, a{}, m{};
    ::GetFileTime(file.get(), &c, &a, &m);
    return {Ticks(c), Ticks(a), Ticks(m)};
}

// Extracts the Info-ZIP sources from an archive and compares them with the
// files they were made from.
void ExtractInfoZipArchive(const std::wstring& archiveName, std::optional<std::string_view> password) {
    TempFolder out;
    OpenArchive archive(OpenZip(Fixture(archiveName), password));
    ASSERT_NE(archive.zip, nullptr) << archiveName;
    for (const wchar_t* name : {L"hello.txt", L"sub/data.bin", L"readonly.txt", L"empty.txt"}) {
        std::wstring target = out / name;
        ASSERT_EQ(UnzipItemToFile(archive.zip, IndexOf(archive.zip, name), target), ZipResult::Ok)
            << archiveName << " " << name;
        EXPECT_EQ(LastZipResult(), ZipResult::Ok);
        // Times first: reading the file may move its access time.
        const FileTimes times = TimesOf(target);
        if (std::wstring(name) == L"readonly.txt") {
            EXPECT_EQ(times.modified, UnixTicks(test::kReadOnlyModified));
        } else {
            EXPECT_EQ(times.modified, UnixTicks(test::kHelloModified)) << name;
            EXPECT_EQ(times.accessed, UnixTicks(test::kHelloAccessed)) << name;
        }
        std::wstring source = name;
        ReplaceAll(source, L"/", L"\\");
        EXPECT_EQ(test::ReadFileBytes(target), SourceBytes(source)) << archiveName << " " << name;
    }
    // Unix permissions: the file its owner could not write comes out read-only.
    EXPECT_TRUE(Attributes(out / L"readonly.txt") & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(Attributes(out / L"hello.txt") & FILE_ATTRIBUTE_READONLY);
    // The folder entry makes a folder.
    ASSERT_EQ(UnzipItemToFile(archive.zip, IndexOf(archive.zip, L"sub/"), out / L"made\\folder"), ZipResult::Ok);
    EXPECT_TRUE(FolderExists(out / L"made\\folder"));
}

TEST(ZipExtract, InfoZipDeflated) { ExtractInfoZipArchive(L"infozip_deflated.zip", std::nullopt); }
TEST(ZipExtract, InfoZipStored) { ExtractInfoZipArchive(L"infozip_stored.zip", std::nullopt); }
TEST(ZipExtract, InfoZipWithPassword) { ExtractInfoZipArchive(L"infozip_password.zip", test::kPassword); }

TEST(ZipExtract, InfoZipEntriesCarryTheirTimesAndKinds) {
    const std::string bytes = test::FixtureBytes(L"infozip_deflated.zip");
    OpenArchive archive(OpenZip(bytes.data(), bytes.size()));
    ASSERT_NE(archive.zip, nullptr);
    ZipEntry entry;
    ASSERT_EQ(FindZipItem(archive.zip, L"hello.txt", false, entry), ZipResult::Ok);
    EXPECT_EQ(Ticks(entry.modificationTime), UnixTicks(test::kHelloModified));
    EXPECT_EQ(Ticks(entry.accessTime), UnixTicks(test::kHelloAccessed));
    EXPECT_EQ(entry.attributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(entry.uncompressedSize, SourceBytes(L"hello.txt").size());
    EXPECT_LT(entry.compressedSize, entry.uncompressedSize);
    ASSERT_EQ(FindZipItem(archive.zip, L"sub/", false, entry), ZipResult::Ok);
    EXPECT_EQ(entry.attributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_DIRECTORY));
    ASSERT_EQ(FindZipItem(archive.zip, L"readonly.txt", false, entry), ZipResult::Ok);
    EXPECT_EQ(entry.attributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
}

TEST(ZipExtract, WrongOrMissingPasswordWritesNothing) {
    TempFolder out;
    for (const std::optional<std::string_view> password :
         {std::optional<std::string_view>("wrong"), std::optional<std::string_view>(),
          std::optional<std::string_view>("")}) {
        OpenArchive archive(OpenZip(Fixture(L"infozip_password.zip"), password));
        ASSERT_NE(archive.zip, nullptr);
        const int index = IndexOf(archive.zip, L"sub/data.bin");
        EXPECT_EQ(UnzipItemToFile(archive.zip, index, out / L"data.bin"), ZipResult::WrongPassword);
        EXPECT_EQ(LastZipResult(), ZipResult::WrongPassword);
        EXPECT_FALSE(FileExists(out / L"data.bin"));
        char buffer[64];
        EXPECT_EQ(UnzipItemToBuffer(archive.zip, index, buffer, sizeof buffer), ZipResult::WrongPassword);
    }
}

TEST(ZipExtract, EncryptedEntriesCheckedByTheirCrcByte) {
    // Made by hand with sizes and CRC in the local header, which makes the
    // last byte of the encryption header the CRC's high byte.
    std::string stored, deflated;
    for (int i = 0; i < 20; ++i) stored += "encrypted and stored\n";
    for (int i = 0; i < 200; ++i) deflated += "encrypted and deflated\n";
    const std::string bytes = test::FixtureBytes(L"encrypted_crc_check.zip");
    {
        OpenArchive archive(OpenZip(bytes.data(), bytes.size(), test::kPassword));
        ASSERT_NE(archive.zip, nullptr);
        for (const auto& [name, expected] : {std::pair{L"plain.txt", &stored}, std::pair{L"packed.txt", &deflated}}) {
            std::string out(expected->size(), '\0');
            EXPECT_EQ(UnzipItemToBuffer(archive.zip, IndexOf(archive.zip, name), out.data(), out.size()), ZipResult::Ok)
                << name;
            EXPECT_EQ(out, *expected) << name;
        }
    }
    OpenArchive wrong(OpenZip(bytes.data(), bytes.size(), "s3cret pasS"));
    ASSERT_NE(wrong.zip, nullptr);
    char buffer[32];
    EXPECT_EQ(UnzipItemToBuffer(wrong.zip, 0, buffer, sizeof buffer), ZipResult::WrongPassword);
    EXPECT_EQ(UnzipItemToBuffer(wrong.zip, 1, buffer, sizeof buffer), ZipResult::WrongPassword);
}

TEST(ZipExtract, RelativeTargetsLieBelowTheFolderCurrentAtOpen) {
    TempFolder base;
    TempFolder elsewhere;
    ZipHandle zip = nullptr;
    {
        CurrentFolder current(base.path());
        zip = OpenZip(Fixture(L"python_mixed.zip"));
    }
    OpenArchive archive(zip);
    ASSERT_NE(archive.zip, nullptr);
    CurrentFolder current(elsewhere.path());
    EXPECT_EQ(UnzipItemToFile(archive.zip, IndexOf(archive.zip, L"big.txt"), L"one\\two/big.txt"), ZipResult::Ok);
    EXPECT_EQ(test::ReadFileBytes(base / L"one\\two\\big.txt"), SourceBytes(L"big.txt"));
    EXPECT_EQ(UnzipItemToFile(archive.zip, IndexOf(archive.zip, L"deflated.txt"), L"top.txt"), ZipResult::Ok);
    EXPECT_TRUE(FileExists(base / L"top.txt"));
    EXPECT_EQ(UnzipItemToFile(archive.zip, IndexOf(archive.zip, L"folder/"), L"made/dir"), ZipResult::Ok);
    EXPECT_TRUE(FolderExists(base / L"made\\dir"));
    EXPECT_FALSE(FileExists(elsewhere / L"top.txt"));
    // Times without an extended timestamp: the DOS time, taken as local time.
    EXPECT_EQ(TimesOf(base / L"top.txt").modified, test::LocalTicks(2021, 3, 4, 5, 6, 8));
}

TEST(ZipExtract, AbsoluteTargetIsWrittenWhereItSays) {
    TempFolder base;
    TempFolder target;
    CurrentFolder current(base.path());
    OpenArchive archive(OpenZip(Fixture(L"python_mixed.zip")));
    ASSERT_NE(archive.zip, nullptr);
    const std::wstring path = target / L"deep\\er/big.txt";
    EXPECT_EQ(UnzipItemToFile(archive.zip, IndexOf(archive.zip, L"big.txt"), path), ZipResult::Ok);
    EXPECT_EQ(test::ReadFileBytes(target / L"deep\\er\\big.txt"), SourceBytes(L"big.txt"));
    EXPECT_EQ(UnzipItemToFile(archive.zip, IndexOf(archive.zip, L"folder/"), target / L"x\\y"), ZipResult::Ok);
    EXPECT_TRUE(FolderExists(target / L"x\\y"));
    // A file where a folder should be: the output cannot be created.
    ASSERT_TRUE(test::WriteFileBytes(target / L"blocker", "file"));
    EXPECT_EQ(UnzipItemToFile(archive.zip, IndexOf(archive.zip, L"big.txt"), target / L"blocker\\big.txt"),
              ZipResult::CannotOpen);
    EXPECT_EQ(LastZipResult(), ZipResult::CannotOpen);
    // Nor can a folder below it: that is no success either.
    EXPECT_EQ(UnzipItemToFile(archive.zip, IndexOf(archive.zip, L"folder/"), target / L"blocker\\sub"),
              ZipResult::CannotOpen);
}

TEST(ZipExtract, ExtractingAgainReplacesReadOnlyFile) {
    TempFolder out;
    OpenArchive archive(OpenZip(Fixture(L"infozip_deflated.zip")));
    ASSERT_NE(archive.zip, nullptr);
    const int index = IndexOf(archive.zip, L"readonly.txt");
    ASSERT_EQ(UnzipItemToFile(archive.zip, index, out / L"ro.txt"), ZipResult::Ok);
    ASSERT_TRUE(Attributes(out / L"ro.txt") & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(UnzipItemToFile(archive.zip, index, out / L"ro.txt"), ZipResult::Ok);
    EXPECT_EQ(test::ReadFileBytes(out / L"ro.txt"), SourceBytes(L"readonly.txt"));
}

TEST(ZipExtract, ClimbingNamesStayInsideTheFolder) {
    const std::pair<const wchar_t*, const wchar_t*> names[] = {
        {L"../evil1.txt", L"evil1.txt"},
        {L"..\\evil2.txt", L"evil2.txt"},
        {L"/abs/evil3.txt", L"abs/evil3.txt"},
        {L"C:/Windows/evil4.txt", L"Windows/evil4.txt"},
        {L"a/../../evil5.txt", L"evil5.txt"},
        {L"a\\..\\b\\ok6.txt", L"b\\ok6.txt"},
        {L"\\\\server\\share\\evil7.txt", L"server\\share\\evil7.txt"},
        {L"good/../../../evil8.txt", L"evil8.txt"},
        {L"D:\\..\\evil9.txt", L"evil9.txt"},
        {L"sub/./x/../y10.txt", L"y10.txt"},
    };
    TempFolder outer;
    const std::wstring inner = outer / L"inner";
    ASSERT_TRUE(CreateFolderTree(inner));
    CurrentFolder current(inner);
    OpenArchive archive(OpenZip(Fixture(L"climbing.zip")));
    ASSERT_NE(archive.zip, nullptr);
    ZipEntry count;
    ASSERT_EQ(GetZipItem(archive.zip, -1, count), ZipResult::Ok);
    ASSERT_EQ(count.index, static_cast<int>(std::size(names)));
    for (int i = 0; i < count.index; ++i) {
        ZipEntry entry;
        ASSERT_EQ(GetZipItem(archive.zip, i, entry), ZipResult::Ok);
        EXPECT_EQ(entry.name, names[i].second) << names[i].first;
        ASSERT_EQ(UnzipItemToFile(archive.zip, i, entry.name), ZipResult::Ok) << names[i].first;
        std::wstring landed = inner + L"\\" + names[i].second;
        ReplaceAll(landed, L"/", L"\\");
        EXPECT_EQ(test::ReadFileBytes(landed), Narrow(names[i].first, CodePage::Utf8));
    }
    // Nothing next to the folder, nothing at the drive's root.
    WIN32_FIND_DATAW data{};
    UniqueFind find(::FindFirstFileW((outer / L"*").c_str(), &data));
    int children = 0;
    if (find) {
        do {
            if (std::wstring(data.cFileName) != L"." && std::wstring(data.cFileName) != L"..") ++children;
        } while (::FindNextFileW(find.get(), &data));
    }
    EXPECT_EQ(children, 1);
    EXPECT_FALSE(FileExists(L"C:\\Windows\\evil4.txt"));
    EXPECT_FALSE(FileExists(L"C:\\abs\\evil3.txt"));
}

TEST(ZipExtract, DamagedEntryLeavesNoFileBehind) {
    TempFolder out;
    for (const wchar_t* name : {L"corrupt_stored.zip", L"crc_mismatch.zip"}) {
        OpenArchive archive(OpenZip(Fixture(name)));
        ASSERT_NE(archive.zip, nullptr) << name;
        EXPECT_EQ(UnzipItemToFile(archive.zip, 0, out / L"damaged.bin"), ZipResult::DataError) << name;
        EXPECT_EQ(LastZipResult(), ZipResult::DataError);
        EXPECT_FALSE(FileExists(out / L"damaged.bin")) << name;
    }
}

TEST(ZipExtract, ArchivesThatCannotBeOpened) {
    TempFolder out;
    const std::pair<std::wstring, ZipResult> cases[] = {
        {Fixture(L"truncated.zip"), ZipResult::CannotOpen},
        {Fixture(L"src\\hello.txt"), ZipResult::CannotOpen},
        {out / L"missing.zip", ZipResult::CannotOpen},
        {out.path(), ZipResult::CannotOpen},
    };
    for (const auto& [path, code] : cases) {
        EXPECT_EQ(OpenZip(path), nullptr);
        EXPECT_EQ(LastZipResult(), code);
    }
    const std::string truncated = test::FixtureBytes(L"truncated.zip");
    ASSERT_FALSE(truncated.empty());
    EXPECT_EQ(OpenZip(truncated.data(), truncated.size()), nullptr);
    EXPECT_EQ(LastZipResult(), ZipResult::CannotOpen);
}

TEST(ZipExtract, OpensFromPositionedHandleAndLeavesItOpen) {
    TempFolder out;
    UniqueFile file(::CreateFileW(Fixture(L"prefixed.zip").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    LARGE_INTEGER start{};
    start.QuadPart = 100;  // the stub in front of the archive
    ASSERT_TRUE(::SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN));
    ZipHandle zip = OpenZip(file.get());
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(UnzipItemToFile(zip, IndexOf(zip, L"sub/data.bin"), out / L"data.bin"), ZipResult::Ok);
    EXPECT_EQ(test::ReadFileBytes(out / L"data.bin"), SourceBytes(L"sub\\data.bin"));
    EXPECT_EQ(CloseZip(zip), ZipResult::Ok);
    LARGE_INTEGER size{};
    EXPECT_TRUE(::GetFileSizeEx(file.get(), &size)) << "the caller's handle must stay open";

    // By name, the stub is found from the directory's real position.
    OpenArchive byName(OpenZip(Fixture(L"prefixed.zip")));
    ASSERT_NE(byName.zip, nullptr);
    EXPECT_EQ(UnzipItemToFile(byName.zip, IndexOf(byName.zip, L"hello.txt"), out / L"hello.txt"), ZipResult::Ok);
    EXPECT_EQ(test::ReadFileBytes(out / L"hello.txt"), SourceBytes(L"hello.txt"));
}

TEST(ZipExtract, HandleWithoutPositionIsRefused) {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    ASSERT_TRUE(::CreatePipe(&read, &write, nullptr, 0));
    UniqueHandle readEnd(read), writeEnd(write);
    EXPECT_EQ(OpenZip(read), nullptr);
    EXPECT_EQ(LastZipResult(), ZipResult::CannotSeek);
    EXPECT_EQ(OpenZip(INVALID_HANDLE_VALUE), nullptr);
    EXPECT_EQ(LastZipResult(), ZipResult::CannotSeek);
}

}  // namespace
}  // namespace mf
