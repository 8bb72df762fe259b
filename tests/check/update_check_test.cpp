// The update check against nginx and the digest service: product and main
// list, comparison with the installation, version query, quick check.
#include <windows.h>
#include <wincrypt.h>

#include <thread>

#include "base/strings.h"
#include "check/check_hour.h"
#include "check/parameter_package.h"
#include "check/update_check.h"
#include "check_fixture.h"

namespace mf::test {
namespace {

std::wstring Md5Hex(const std::string& text) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    std::wstring hex;
    if (::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        ::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
        ::CryptHashData(hash, reinterpret_cast<const BYTE*>(text.data()), static_cast<DWORD>(text.size()), 0)) {
        BYTE digest[16] = {};
        DWORD size = sizeof digest;
        if (::CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0)) {
            static const wchar_t kHex[] = L"0123456789abcdef";
            for (BYTE b : digest) {
                hex += kHex[b >> 4];
                hex += kHex[b & 15];
            }
        }
    }
    if (hash != 0) ::CryptDestroyHash(hash);
    if (provider != 0) ::CryptReleaseContext(provider, 0);
    return hex;
}

const std::string kProductEntries =
    "<file path=\"bin\\app.exe\" ver=\"1.2\"/>\r\n"
    "<file path=\"data\\q.db\" ver=\"7\"/>\r\n"
    "<description>Welcome to 2.0</description>\r\n";
const std::string kMainEntries =
    "<file path=\"{agentName}\\agent.dll\" desname=\"{zqdir}\\agent.dll\"/>\r\n"
    "<file path=\"common\\shared.dll\" ver=\"3\"/>\r\n"
    "<group><file path=\"nested.dll\" ver=\"1\"/></group>\r\n";

class UpdateCheck : public CheckFixture {
protected:
    void PublishLists(const std::string& product = kProductEntries, const std::string& main = kMainEntries) {
        Publish(L"update.xml", ListXml(product));
        Publish(L"main.xml", ListXml(main));
    }
    // The common settings with the site's two lists, the digest service
    // (a path of the test's one, or a whole address) and the product.
    EngineIni ProductIni(const std::wstring& service = L"md5") const {
        EngineIni ini = CommonIni();
        ini.Set(L"UPDATEINFO", L"ListURL", SiteUrl(L"update.xml"))
            .Set(L"UPDATEINFO", L"MainListURL", SiteUrl(L"main.xml"))
            .Set(L"UPDATEINFO", L"FileMd5HandleUrl",
                 service.find(L':') != std::wstring::npos ? service : digest_ + service)
            .Set(L"APPLICATION", L"AgentName", L"qbagent")
            .Set(L"APPLICATION", L"zqdir", L"Z123");
        return ini;
    }
    void Configure() { Reconfigure(ProductIni()); }
    // The site's address as a list's base: without the trailing slash.
    std::wstring SiteBase() const {
        const std::wstring url = site_.Url();
        return url.substr(0, url.size() - 1);
    }
    const updatefileinfo* Find(const std::wstring& path) const {
        for (const auto& record : state().updateList.Records())
            if (record.path == path) return &record;
        return nullptr;
    }
    UpdateStatus Status() const { return state().updateList.Status(); }
    // Mirefold/OwerCheckTm lives in the temporary folder's mirefold.ini.
    void StoreCheckHour(long long hour) {
        ::WritePrivateProfileStringW(L"Mirefold", L"OwerCheckTm", std::to_wstring(hour).c_str(),
                                     (InFolder(L"tmp\\mirefold.ini")).c_str());
    }
};

using Paths = std::vector<std::wstring>;

TEST_F(UpdateCheck, EmptyInstallationNeedsEveryEntry) {
    PublishLists();
    Configure();
    CheckAndReport(nullptr);
    EXPECT_EQ(Status(), UpdateStatus::CheckRemoteOk);
    // The main list's leaf entries follow the product's, in reverse order.
    EXPECT_EQ(UpdatePaths(), (Paths{L"bin\\app.exe", L"data\\q.db", L"common\\shared.dll", L"qbagent\\agent.dll"}));
    EXPECT_EQ(state().updateList.messageText, L"Welcome to 2.0\r\n");
    const updatefileinfo* agent = Find(L"qbagent\\agent.dll");
    ASSERT_NE(agent, nullptr);
    EXPECT_EQ(agent->desname, L"Z123\\agent.dll");
    EXPECT_EQ(agent->ver, Md5Hex("qbagent\\agent.dll"));
    EXPECT_EQ(state().updateList.baseUrl, SiteBase());
    EXPECT_NE(LogText().find(L"Found 4 files need to update..."), std::wstring::npos);
    const std::string requests = ReadFileBytes(BuildPath(L"servers\\checkservice\\requests.log"));
    EXPECT_NE(requests.find("FileUrl=qbagent%5Cagent.dll"), std::string::npos);
}

TEST_F(UpdateCheck, CurrentInstallationNeedsNothing) {
    PublishLists();
    Configure();
    CheckAndReport(nullptr);
    ASSERT_EQ(state().updateList.GetSize(), 4);
    // The installed release is the list just checked.
    ASSERT_TRUE(::CopyFileW(state().updateList.listPath.c_str(), InstallPath(L"mirefold.xml").c_str(), FALSE));

    Restart();
    Configure();
    CheckAndReport(nullptr);
    EXPECT_EQ(Status(), UpdateStatus::CheckRemoteOk);
    EXPECT_EQ(UpdatePaths(), Paths{});
    EXPECT_EQ(state().updateList.messageText, L"");  // shown once only
    EXPECT_NE(LogText().find(L"Find nothing to update."), std::wstring::npos);
}

TEST_F(UpdateCheck, ChangedKeyAndMissingFile) {
    PublishLists(kProductEntries, "<file path=\"common\\shared.dll\" ver=\"3\"/>\r\n");
    Install(L"mirefold.xml",
            ListXml("<file path=\"bin\\app.exe\" ver=\"1.1\"/><file path=\"data\\q.db\" ver=\"7\"/>"
                    "<file path=\"common\\shared.dll\" ver=\"3\"/><description>Welcome to 2.0</description>"));
    Install(L"bin\\app.exe");
    Install(L"common\\shared.dll");  // data\q.db is missing
    struct Case {
        const wchar_t* checkLost;
        Paths expected;
    } cases[] = {{L"CheckLostFile=1", {L"bin\\app.exe", L"data\\q.db"}}, {L"CheckLostFile=0", {L"bin\\app.exe"}}};
    for (const Case& c : cases) {
        Restart();
        Reconfigure(ProductIni().Lines(L"Mirefold", {c.checkLost}));
        CheckAndReport(nullptr);
        EXPECT_EQ(Status(), UpdateStatus::CheckRemoteOk) << c.checkLost;
        EXPECT_EQ(UpdatePaths(), c.expected) << c.checkLost;
    }
}

TEST_F(UpdateCheck, DigestServiceAnswersOrNot) {
    PublishLists();
    struct Case {
        const wchar_t* service;
        bool digestKnown;
    } cases[] = {
        {L"md5", true}, {L"garbage", false}, {L"zeros", false}, {L"empty", false}, {L"http://127.0.0.1:9/md5", false},
    };
    for (const Case& c : cases) {
        std::wstring keys[2];
        for (std::wstring& key : keys) {
            Restart();
            Reconfigure(ProductIni(c.service));
            CheckAndReport(nullptr);
            ASSERT_EQ(Status(), UpdateStatus::CheckRemoteOk) << c.service;
            const updatefileinfo* agent = Find(L"qbagent\\agent.dll");
            ASSERT_NE(agent, nullptr) << c.service;
            key = agent->ver;
        }
        EXPECT_EQ(keys[0].size(), 32u) << c.service;
        if (c.digestKnown) {
            EXPECT_EQ(keys[0], Md5Hex("qbagent\\agent.dll"));
            EXPECT_EQ(keys[0], keys[1]);
        } else {
            EXPECT_NE(keys[0], keys[1]) << c.service;  // a fresh key each time: always downloaded
        }
    }
}

TEST_F(UpdateCheck, FailedMainListFailsTheWholeCheck) {
    Publish(L"update.xml", ListXml(kProductEntries));
    Configure();
    CheckAndReport(nullptr);
    EXPECT_EQ(Status(), UpdateStatus::CheckRemoteError);
    EXPECT_EQ(state().updateList.GetSize(), 0);
    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"error when download the list file.\n" + SiteUrl(L"update.xml")), std::wstring::npos) << log;
}

TEST_F(UpdateCheck, ListUrlLengthIsChecked) {
    struct Case {
        const wchar_t* url;
        const wchar_t* message;
    } cases[] = {
        {L"abcd", L"mirefold.ini -> UPDATEINFO -> ListURL can't empty"},
        {L"abcde", L"error when download the list file."},
    };
    for (const Case& c : cases) {
        Restart();
        Reconfigure(CommonIni().Set(L"UPDATEINFO", L"ListURL", c.url));
        CheckAndReport(nullptr);
        EXPECT_EQ(Status(), UpdateStatus::CheckRemoteError) << c.url;
        EXPECT_NE(LogText().find(c.message), std::wstring::npos) << c.url;
    }
}

TEST_F(UpdateCheck, MissingListUrlWithoutWindowFails) {
    Reconfigure(CommonIni());
    CheckAndReport(nullptr);
    EXPECT_EQ(Status(), UpdateStatus::CheckRemoteError);
    EXPECT_NE(LogText().find(L"can't to get [UNDATEINFO]-ListURL from mirefold.ini"), std::wstring::npos);
}

TEST_F(UpdateCheck, VersionQueryThenFirstCandidateListWins) {
    // The slow candidate comes through nginx's rate-limited path; the
    // downloader fetches it over eight connections, so it is made large
    // enough to stay slow (about 1.5 s) on a loaded machine too.
    std::string padding = "<!--" + std::string(12 * 1024 * 1024, 'p') + "-->\r\n";
    Publish(L"slow.xml", ListXml(padding + "<file path=\"slow.dll\" ver=\"1\"/>"));
    Publish(L"fast.xml", ListXml("<file path=\"fast.dll\" ver=\"1\"/><file path=\"fast2.dll\" ver=\"1\"/>"));
    const std::wstring slowUrl = site_.LimitedUrl(L"slow.xml");
    Publish(L"ver.txt",
            Narrow(L"<Ver>2.0</Ver>\r\n<URL>" + slowUrl + L"</URL>\r\n<url>" + SiteUrl(L"fast.xml") + L"</url>"));
    Reconfigure(
        CommonIni().Set(L"UPDATEINFO", L"ListURL", SiteUrl(L"ver.txt")).Set(L"APPLICATION", L"CheckVerNumber", 1));

    RunUpdateCheck(nullptr);
    EXPECT_EQ(Status(), UpdateStatus::CheckRemoteOk);
    EXPECT_EQ(state().updateList.versionText, L"2.0");
    ASSERT_EQ(state().updateList.listUrls, (Paths{slowUrl, SiteUrl(L"fast.xml")}));

    CheckAndReport(nullptr);
    EXPECT_EQ(Status(), UpdateStatus::CheckRemoteOk);
    EXPECT_EQ(UpdatePaths(), (Paths{L"fast.dll", L"fast2.dll"}));
    EXPECT_EQ(state().updateList.baseUrl, SiteBase());
    EXPECT_TRUE(state().updateList.listUrls.empty());
    const std::wstring list = state().paths.ListFile();
    // The slow download still arrives, and is thrown away.
    EXPECT_TRUE(WaitUntil([&] { return LogText().find(L"done[" + slowUrl + L"]") != std::wstring::npos; },
                          std::chrono::seconds(30)))
        << LogText();
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(list + L"0") && FileExists(list); }, std::chrono::seconds(10)));
    EXPECT_EQ(ReadFileBytes(list).find("slow.dll"), std::string::npos);
}

TEST_F(UpdateCheck, VersionQueryWithoutReply) {
    Reconfigure(CommonIni()
                    .Set(L"UPDATEINFO", L"ListURL", SiteUrl(L"no-such-reply.txt"))
                    .Set(L"APPLICATION", L"CheckVerNumber", 1));
    RunUpdateCheck(nullptr);
    EXPECT_EQ(Status(), UpdateStatus::CheckRemoteError);
    EXPECT_TRUE(state().updateList.versionText.empty());
}

TEST_F(UpdateCheck, QuickCheckReadsThePreviousDownload) {
    const std::string previous = ListXml("<file path=\"one.dll\" ver=\"1\"/><file path=\"two.dll\" ver=\"1\"/>");
    const std::string older = ListXml("<file path=\"old.dll\" ver=\"1\"/>");
    struct Case {
        const char* name;
        bool listFile;      // H.xml
        bool previousFile;  // H.xml.xml
        Paths expected;
    } cases[] = {
        {"copy of the last download", false, true, {L"one.dll", L"two.dll"}},
        {"both: the copy wins", true, true, {L"one.dll", L"two.dll"}},
        {"only the list file", true, false, {L"old.dll"}},
        {"nothing downloaded yet", false, false, {}},
    };
    for (const Case& c : cases) {
        Restart();
        relaunches_.clear();
        Reconfigure(ProductIni().Set(L"Mirefold", L"QuickCheck", 1));
        StoreCheckHour(CurrentCheckHour());
        state().run.SetMode(RunMode::CheckForUpdates);
        const std::wstring list = state().paths.ListFile();
        DeleteFileForce(list);
        DeleteFileForce(list + L".xml");
        if (c.listFile) WriteFileBytes(list, older);
        if (c.previousFile) WriteFileBytes(list + L".xml", previous);
        CheckAndReport(nullptr);
        EXPECT_EQ(Status(), UpdateStatus::CheckRemoteOk) << c.name;
        EXPECT_EQ(UpdatePaths(), c.expected) << c.name;
        EXPECT_EQ(state().updateList.listPath, list + L".xml") << c.name;
        EXPECT_EQ(Relaunches(), Paths{L"downparam0"}) << c.name;
        EXPECT_EQ(ParseInt64(ReadConfig(L"Mirefold", L"OwerCheckTm")), CurrentCheckHour()) << c.name;
    }
}

TEST_F(UpdateCheck, QuickCheckOnlyInItsModes) {
    PublishLists();
    Reconfigure(ProductIni().Set(L"Mirefold", L"QuickCheck", 1));
    StoreCheckHour(CurrentCheckHour());
    state().run.SetMode(RunMode::Silence);
    CheckAndReport(nullptr);
    EXPECT_EQ(state().updateList.GetSize(), 4);                   // downloaded, not read from a previous copy
    EXPECT_TRUE(FileExists(state().paths.ListFile() + L".xml"));  // the copy the next quick check reads
    EXPECT_TRUE(Relaunches().empty());
}

TEST_F(UpdateCheck, ListFileZipRemembersTheFormThatWorked) {
    const std::wstring zipped = ServerUrl(L"nginx") + L"check-fixtures/zipped/";
    struct Case {
        const wchar_t* list;
        const wchar_t* remembered;  // before
        const wchar_t* expected;    // after
    } cases[] = {{L"update.xml", L"0", L"1"}, {L"plain-update.xml", L"1", L"0"}};
    for (const Case& c : cases) {
        Restart();
        Reconfigure(CommonIni()
                        .Set(L"UPDATEINFO", L"ListURL", zipped + c.list)
                        .Set(L"UPDATEINFO", L"MainListURL", zipped + L"main.xml"));
        ::WritePrivateProfileStringW(L"Mirefold", L"ListFileZip", c.remembered,
                                     (InFolder(L"tmp\\mirefold.ini")).c_str());
        CheckAndReport(nullptr);
        EXPECT_EQ(Status(), UpdateStatus::CheckRemoteOk) << c.list;
        EXPECT_EQ(UpdatePaths(), (Paths{L"zipped-a.dll", L"zipped-b.dll", L"m.dll"})) << c.list;
        EXPECT_EQ(ReadPrivateProfile(InFolder(L"tmp\\mirefold.ini"), L"Mirefold", L"ListFileZip"), c.expected)
            << c.list;
    }
}

TEST_F(UpdateCheck, ParameterPackageFillsItsFields) {
    Reconfigure(CommonIni().Set(L"UPDATEINFO", L"ListURL", SiteUrl(L"update.xml")));
    const std::wstring package = state().paths.PackageFile();
    EXPECT_FALSE(LoadParameterPackage());  // none yet
    ASSERT_TRUE(
        ::CopyFileW(BuildPath(L"www\\check-fixtures\\package\\wrong-password.bin").c_str(), package.c_str(), FALSE));
    EXPECT_FALSE(LoadParameterPackage());
    EXPECT_EQ(state().fileConcurrency, 8);
    ASSERT_TRUE(::CopyFileW(BuildPath(L"www\\check-fixtures\\package\\package.bin").c_str(), package.c_str(), FALSE));
    EXPECT_TRUE(LoadParameterPackage());
    EXPECT_EQ(CurrentParameterFields().threadCount, L"99");
    // "product" is not a field the engine reads.
    EXPECT_NE(LogText().find(L"field [product] is not one the engine reads"), std::wstring::npos) << Narrow(LogText());
    EXPECT_EQ(state().fileConcurrency, 50);
    EXPECT_EQ(state().fileConnections, 1);
}

}  // namespace
}  // namespace mf::test

namespace mf::test {
namespace {

class SampleConfiguration : public CheckFixture {};

TEST_F(SampleConfiguration, OfferedWhenListUrlIsMissing) {
    struct Case {
        int answer;
        bool written;
    } cases[] = {{IDNO, false}, {IDYES, true}};
    for (const Case& c : cases) {
        Restart();
        Reconfigure(CommonIni());
        std::wstring shown;
        std::thread answer([&] { shown = AnswerMessageBox(::GetCurrentProcessId(), c.answer); });
        const bool valid = ValidateListConfig(nullptr, true);
        answer.join();
        EXPECT_NE(shown.find(L"can't to get [UNDATEINFO]-ListURL from mirefold.ini"), std::wstring::npos) << shown;
        EXPECT_NE(shown.find(L"Make a sample?"), std::wstring::npos) << shown;
        EXPECT_EQ(valid, c.written);
        const std::wstring ini = InFolder(L"mirefold.ini");
        const std::wstring listUrl = ReadPrivateProfile(ini, L"UPDATEINFO", L"ListURL");
        if (c.written) {
            EXPECT_TRUE(EndsWith(listUrl, L"/update/mirefolden.xml")) << listUrl;
            EXPECT_EQ(ReadPrivateProfile(ini, L"Mirefold", L"QuickCheck"), L"0");
            EXPECT_EQ(ReadPrivateProfile(ini, L"APPLICATION", L"Application"), L"demo.exe");
            EXPECT_EQ(ReadPrivateProfile(ini, L"APPLICATION", L"Name"), L"Mirefold demo");
            EXPECT_EQ(state().updateList.baseUrl, listUrl.substr(0, listUrl.find_last_of(L'/')));
        } else {
            EXPECT_EQ(listUrl, L"");
            EXPECT_NE(LogText().find(L"can't to get [UNDATEINFO]-ListURL from mirefold.ini"), std::wstring::npos);
        }
    }
}

TEST(WaitPolls, ValuesBeyondRangeAreClamped) {
    struct Case {
        const wchar_t* value;
        long polls;
    };
    for (const Case& c : {Case{L"150", 15000}, Case{L" 60 ", 6000}, Case{L"0", 100}, Case{L"-5", 100},
                          Case{L"36000", 3600000}, Case{L"36001", 3600000}, Case{L"21474837", 3600000},
                          Case{L"99999999999999999999", 3600000}, Case{L"", 15000}, Case{L"soon", 15000}}) {
        EXPECT_EQ(WaitPollsOf(c.value, 150), c.polls) << Narrow(c.value);
    }
}

TEST(ListBase, CutBeforeTheLastSlash) {
    struct Case {
        const wchar_t* url;
        const wchar_t* base;
    } cases[] = {
        {L"http://h/x/list.xml", L"http://h/x"},
        {L"http://h/list.xml", L"http://h"},
        {L"http://h/x/", L"http://h/x/"},       // nothing after the slash: the whole URL
        {L"http://h/x/a", L"http://h/x/a"},     // one character after it: the whole URL
        {L"http://h/x/ab", L"http://h/x"},
        {L"list.xml", L""},                     // no slash at all
        {L"/abc", L""},                         // a slash only at the start counts as none
    };
    for (const Case& c : cases) EXPECT_EQ(ListBaseOf(c.url), c.base) << c.url;
}

}  // namespace
}  // namespace mf::test
