// The single-file offline update: mirefold-pack appends a release to a
// branded engine; the packed engine takes the release over at start-up with
// no server at all, and a damaged package falls back to the online run.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "apply/embedded_package.h"
#include "base/files.h"
#include "base/strings.h"
#include "engine/paths.h"
#include "support/end_to_end.h"
#include "support/test_host.h"

namespace mf {
namespace {

std::wstring ReleaseFolder(const std::wstring& part) { return test::BuildPath(L"fixtures\\release\\" + part); }

// Every file below a folder, as paths relative to it.
void ListFiles(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& files) {
    WIN32_FIND_DATAW data{};
    const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
    HANDLE find = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ListFiles(root, child, files);
        } else {
            files.push_back(child);
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

std::vector<std::wstring> FilesBelow(const std::wstring& root) {
    std::vector<std::wstring> files;
    ListFiles(root, L"", files);
    std::sort(files.begin(), files.end());
    return files;
}

class OfflinePackage : public test::EndToEndTest {
protected:
    OfflinePackage() : EndToEndTest(L"offline-e2e") {}
    void SetUp() override {
        const std::wstring listUrl = Widen(site_.UnreachableUrl(L"update.xml"));
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, temp);
        temp_ = temp;
        downloadFolder_ = ReduceBackslashes(temp_ + L"\\" + ListNameHash(listUrl + L"9999999999"));
        CleanUp();
        // No server at all: the package is the release.
        test::EngineIni ini = ProductIni();
        ini.Set(L"Mirefold", L"QuickCheck", 0);
        ini.Set(L"UPDATEINFO", L"ListURL", listUrl)
            .Set(L"UPDATEINFO", L"MainListURL", L"http://127.0.0.1:9/mirefold.xml");
        ASSERT_TRUE(test::BrandEngine(ini, branded_));
    }
    void TearDown() override { CleanUp(); }
    void CleanUp() {
        RemoveTree(Folder());
        RemoveTree(downloadFolder_);
        for (const wchar_t* suffix : {L".xml", L".xml.xml"}) ::DeleteFileW((downloadFolder_ + suffix).c_str());
    }

    static long long Pack(const std::wstring& engine, const std::wstring& product, const std::wstring& out) {
        return test::RunAndWait(L"\"" + test::BuildPath(L"bin\\mirefold-pack.exe") + L"\" \"" + engine + L"\" \"" +
                                product + L"\" \"" + out + L"\"");
    }
    std::wstring Pending(const std::wstring& path) const { return downloadFolder_ + L"\\" + path + L"_"; }
    std::vector<std::wstring> PendingFiles() const {
        std::vector<std::wstring> pending;
        for (const std::wstring& file : FilesBelow(downloadFolder_)) {
            if (EndsWith(file, L"_")) pending.push_back(file.substr(0, file.size() - 1));
        }
        return pending;
    }
    bool LeftInTemp(const wchar_t* name) const { return FileExists(ReduceBackslashes(temp_ + L"\\" + name)); }

    // The packed engine run by a host ("checkforupdates" with its window),
    // and what the host received.
    struct HostedRun {
        test::EngineRun run;
        std::vector<std::wstring> statuses, descriptions, texts;
    };
    HostedRun CheckWithHost() const {
        test::TestHost host;
        EXPECT_NE(host.window(), nullptr);
        HostedRun hosted;
        hosted.run = RunFor(host, L"checkforupdates");
        host.Close();
        hosted.statuses = host.Lines(L"status");
        hosted.descriptions = host.Lines(L"description");
        hosted.texts = host.Lines(L"text");
        return hosted;
    }

    std::wstring temp_, downloadFolder_;
    std::wstring branded_ = folder_ / L"branded.exe";
    const std::wstring& packed_ = exe_;  // the engine the tests run
};

TEST_F(OfflinePackage, PackedEngineTakesTheReleaseOverWithTheServerDown) {
    ASSERT_EQ(Pack(branded_, ReleaseFolder(L"product"), packed_), 0);

    const HostedRun hosted = CheckWithHost();
    const test::EngineRun& run = hosted.run;

    // Five files to install and one to delete; the message and the command
    // are taken out as a check takes them out.
    EXPECT_EQ(run.exitCode, 6) << run.log;
    EXPECT_NE(run.log.find("Found 6 files need to update..."), std::string::npos) << run.log;
    // No check was needed: nothing was asked of the (absent) server.
    EXPECT_EQ(run.log.find("try to download the list file..."), std::string::npos) << run.log;
    EXPECT_EQ(hosted.statuses, (std::vector<std::wstring>{L"status 3 6", L"status 13 6"}));
    EXPECT_EQ(hosted.descriptions,
              (std::vector<std::wstring>{L"description Release 2.0 for offline installation\\r\\n"}));

    // The release's files are pending, byte for byte, the zip variant unpacked.
    const std::vector<std::wstring> expected = FilesBelow(ReleaseFolder(L"expected"));
    ASSERT_EQ(expected.size(), 5u);
    EXPECT_EQ(PendingFiles(), expected);
    for (const std::wstring& file : expected) {
        EXPECT_EQ(test::ReadFileBytes(Pending(file)), test::ReadFileBytes(ReleaseFolder(L"expected\\" + file)))
            << Narrow(file, CodePage::Utf8);
    }
    // The list is where a check leaves the downloaded list, as published.
    EXPECT_EQ(test::ReadFileBytes(downloadFolder_ + L".xml"),
              test::ReadFileBytes(ReleaseFolder(L"product\\update.xml")));
    EXPECT_FALSE(LeftInTemp(kPackageCopyName));
    EXPECT_FALSE(LeftInTemp(kPackageRecordsEntry));
}

TEST_F(OfflinePackage, InstalledProductTakesOnlyWhatDiffersFromThePackage) {
    ASSERT_EQ(Pack(branded_, ReleaseFolder(L"product"), packed_), 0);
    const std::string release = test::ReadFileBytes(ReleaseFolder(L"product\\update.xml"));
    const auto runWithInstalled = [&](const std::string& installed) {
        CleanUp();
        CreateFolderTree(Folder());
        EXPECT_TRUE(test::WriteFileBytes(Folder() + L"mirefold.xml", installed));
        return CheckWithHost();
    };

    // The installed release is the package's: nothing of it is taken, and no
    // pending file of it is left for a later run to install.
    const HostedRun same = runWithInstalled(release);
    EXPECT_EQ(same.run.exitCode, 0) << same.run.log;
    EXPECT_EQ(PendingFiles(), std::vector<std::wstring>());
    EXPECT_TRUE(same.descriptions.empty());

    // One file differs: only that one is taken.
    std::string older = release;
    const std::string key = "<file path=\"main.cmd\" ver=\"2.0\"/>";
    ASSERT_NE(older.find(key), std::string::npos);
    older.replace(older.find(key), key.size(), "<file path=\"main.cmd\" ver=\"1.0\"/>");
    const HostedRun one = runWithInstalled(older);
    EXPECT_EQ(one.run.exitCode, 1) << one.run.log;
    EXPECT_EQ(PendingFiles(), std::vector<std::wstring>{L"main.cmd"});
    EXPECT_TRUE(one.descriptions.empty());
}

TEST_F(OfflinePackage, PackageRecordsAsTheEngineReadsThem) {
    ASSERT_EQ(Pack(branded_, ReleaseFolder(L"product"), packed_), 0);
    test::TempFolder temp;
    const PackageTargets targets{temp.path(), temp / L"download", temp / L"list.xml"};

    DownLoadList list;
    updatefileinfo stale;
    stale.path = L"stale.dll";
    list.Add(stale);
    ASSERT_EQ(ExtractEmbeddedPackage(packed_, targets, list), PackageOutcome::TakenOver);
    std::vector<std::wstring> paths;
    for (const updatefileinfo& record : list.Records()) paths.push_back(record.path);
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"main.cmd", L"bin\\tool.dll", L"data\\big.dat",
                                                L"data\\q\\\u9898\u5e93.dat", L"empty.txt", L"retired.dll"}));
    EXPECT_EQ(list[1].desname, L"tool.dll;extra\\tool-copy.dll");
    EXPECT_EQ(list[5].oper, OPER_DEL);
    EXPECT_EQ(list.commands, (std::vector<std::wstring>{L"{app}\\main.cmd9909r2"}));
    EXPECT_EQ(list.messageText, L"Release 2.0 for offline installation\r\n");
    EXPECT_EQ(list.listPath, targets.listFile);
    EXPECT_EQ(list.listIdentifier, L"{6B1F2C3D-0015-4A5B-9C8D-0123456789AB}");
    EXPECT_EQ(FilesBelow(temp.path()).size(), 6u);  // five pending files and the list

    // An engine without a package is an ordinary engine.
    EXPECT_EQ(ExtractEmbeddedPackage(branded_, targets, list), PackageOutcome::None);
    EXPECT_EQ(list.GetSize(), 6);
}

// A package whose bytes were cut or changed: the run says so (a box only
// where somebody can answer it), nothing of it stays behind, and the run
// goes online as if there were no package.
TEST_F(OfflinePackage, DamagedPackageFallsBackToTheOnlineRun) {
    ASSERT_EQ(Pack(branded_, ReleaseFolder(L"product"), packed_), 0);
    const std::string good = test::ReadFileBytes(packed_);
    const std::optional<PackagePlace> place = ParsePackageTrailer(std::string_view(good).substr(good.size() - 20));
    ASSERT_TRUE(place.has_value());
    const std::string trailer = good.substr(good.size() - 20);
    const std::size_t packageEnd = good.size() - 20;

    struct Case {
        const char* what;
        std::function<std::string()> make;
    };
    const Case cases[] = {
        {"truncated", [&] { return good.substr(0, packageEnd - 4096) + trailer; }},
        {"changed", [&] {
             std::string bytes = good;
             for (std::size_t i = 0; i < 64; ++i) bytes[static_cast<std::size_t>(place->offset) + 40000 + i] ^= 0x5A;
             return bytes;
         }},
        {"cut short by its trailer", [&] {
             // The trailer's length ends the package before the zip's end record.
             return good.substr(0, packageEnd) + MakePackageTrailer(static_cast<std::int32_t>(place->offset),
                                                                     static_cast<std::int32_t>(place->length - 100));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CleanUp();
        ASSERT_TRUE(test::WriteFileBytes(packed_, c.make()));
        // A host's unattended run: nobody answers a box, so none may wait;
        // the host learns of the damage, and the run goes online.
        const HostedRun hosted = CheckWithHost();
        const test::EngineRun& run = hosted.run;
        EXPECT_EQ(run.exitCode, 0) << run.log;
        EXPECT_NE(run.log.find("Find some wrong in this update package!"), std::string::npos) << run.log;
        EXPECT_NE(run.log.find("error when download the list file."), std::string::npos) << run.log;
        EXPECT_TRUE(std::any_of(hosted.texts.begin(), hosted.texts.end(), [](const std::wstring& line) {
            return line.find(L"Find some wrong in this update package!") != std::wstring::npos;
        }));
        ASSERT_FALSE(hosted.statuses.empty());
        EXPECT_EQ(hosted.statuses.back(), L"status 13 0");
        EXPECT_EQ(PendingFiles(), std::vector<std::wstring>());
        EXPECT_FALSE(LeftInTemp(kPackageCopyName));
        EXPECT_FALSE(LeftInTemp(kPackageRecordsEntry));
    }
}

TEST_F(OfflinePackage, PackToolRefusesWhatItCannotDeliver) {
    test::TempFolder product;
    const std::wstring list =
        L"<?xml version=\"1.0\"?><update><file path=\"a.dll\" ver=\"1\"/><file path=\"gone.dll\" ver=\"1\"/></update>";
    ASSERT_TRUE(test::WriteFileBytes(product / L"update.xml", Narrow(list)));
    ASSERT_TRUE(test::WriteFileBytes(product / L"a.dll", "a"));
    const std::wstring out = folder_ / L"out.exe";

    // A listed file the folder does not have.
    EXPECT_EQ(Pack(branded_, product.path(), out), 1);
    EXPECT_FALSE(FileExists(out));
    // A path that would leave the installation.
    ASSERT_TRUE(test::WriteFileBytes(product / L"update.xml",
                                     "<update><file path=\"..\\evil.dll\" ver=\"1\"/></update>"));
    EXPECT_EQ(Pack(branded_, product.path(), out), 1);
    // A target list (desname) or a deletion that would leave it.
    for (const char* record : {"<file path=\"a.dll\" ver=\"1\" desname=\"..\\..\\evil.dll\"/>",
                               "<file path=\"a.dll\" ver=\"1\" desname=\"ok.dll;sub\\..\\..\\evil.dll\"/>",
                               "<file path=\"a.dll\" ver=\"1\" desname=\"data\\a.dll:stream\"/>",
                               "<file path=\"gone.dll\" ver=\"1\" oper=\"del\" desname=\"..\\evil.dll\"/>"}) {
        ASSERT_TRUE(test::WriteFileBytes(product / L"update.xml", std::string("<update>") + record + "</update>"));
        EXPECT_EQ(Pack(branded_, product.path(), out), 1) << record;
        EXPECT_FALSE(FileExists(out)) << record;
    }
    // Targets elsewhere by an absolute path or a macro are what lists offer.
    ASSERT_TRUE(test::WriteFileBytes(
        product / L"update.xml",
        "<update><file path=\"a.dll\" ver=\"1\" desname=\"{sys}\\a.dll;sub\\a.dll;b.dll\"/></update>"));
    EXPECT_EQ(Pack(branded_, product.path(), out), 0);
    ::DeleteFileW(out.c_str());
    // No list at all.
    ::DeleteFileW((product / L"update.xml").c_str());
    EXPECT_EQ(Pack(branded_, product.path(), out), 1);
    // An engine that already carries a package.
    ASSERT_EQ(Pack(branded_, ReleaseFolder(L"product"), packed_), 0);
    EXPECT_EQ(Pack(packed_, ReleaseFolder(L"product"), out), 1);
    EXPECT_FALSE(FileExists(out));
}

TEST(PackageTrailer, MarkerLengthAndOffset) {
    const std::string trailer = MakePackageTrailer(0x01020304, 0x0A0B0C0D);
    EXPECT_EQ(trailer, std::string("\x04\x03\x02\x01\x0D\x0C\x0B\x0A", 8) + "MirefoldZip1");
    const std::optional<PackagePlace> place = ParsePackageTrailer(trailer);
    ASSERT_TRUE(place.has_value());
    EXPECT_EQ(place->offset, 0x01020304);
    EXPECT_EQ(place->length, 0x0A0B0C0D);

    std::string alternative = trailer;
    alternative.back() = '0';
    EXPECT_TRUE(ParsePackageTrailer(alternative).has_value());
    for (const char* other : {"MirefoldZip2", "mirefoldzip1", "MirefoldZip "})
        EXPECT_FALSE(ParsePackageTrailer(std::string(8, '\0') + other).has_value()) << other;
    EXPECT_FALSE(ParsePackageTrailer(trailer.substr(1)).has_value());

    struct Fit {
        std::int64_t offset, length, fileSize;
        bool fits;
    };
    const Fit fits[] = {
        {100, 50, 170, true},  {100, 50, 169, false}, {-1, 50, 1000, false},
        {100, 0, 1000, false}, {100, -5, 1000, false}, {0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, false},
    };
    for (const Fit& f : fits)
        EXPECT_EQ(PackageFits({f.offset, f.length}, f.fileSize), f.fits) << f.offset << "+" << f.length;
}

}  // namespace
}  // namespace mf
