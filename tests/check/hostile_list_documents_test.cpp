// Update lists come from a server over plain HTTP: a list may carry a DTD
// (entities that expand without end, a declaration named like the root) or
// be damaged. No reader takes a DTD, and a list that cannot be read whole
// fails the check instead of passing for a shorter one.
#include <chrono>
#include <string>

#include "base/handles.h"
#include "base/strings.h"
#include "base/xml_dom.h"
#include "base/xml_input.h"
#include "check/list_sax_reader.h"
#include "check/main_list_merge.h"
#include "check/update_check.h"
#include "check/update_list_reader.h"
#include "check_fixture.h"

namespace mf::test {
namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
const std::string kEntries = "<file path=\"a.dll\" ver=\"1\"/><file path=\"b.dll\" ver=\"1\"/>";
// Each level multiplies the text by ten: a few levels more and a parser
// that expands entities spends gigabytes on a document of a few hundred
// bytes.
const std::string kLaughs =
    "<!DOCTYPE update [<!ENTITY a \"lol\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
    "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>\r\n";

std::string Utf16(const std::string& ascii, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) {
        out += bigEndian ? '\0' : c;
        out += bigEndian ? c : '\0';
    }
    return out;
}

TEST(HostileListDocument, NoReaderTakesADtd) {
    const ComInit com;
    struct Case {
        const char* name;
        std::string bytes;
        bool declaresType;
    } cases[] = {
        {"entities", kDeclaration + kLaughs + "<update><file path=\"&c;\" ver=\"1\"/></update>", true},
        {"declaration named like the root", kDeclaration + "<!DOCTYPE update>\r\n<update>" + kEntries + "</update>",
         true},
        {"after a comment and a processing instruction",
         "\xEF\xBB\xBF<?xml version=\"1.0\"?><!-- list --><?note x?>\r\n<!DOCTYPE update SYSTEM \"u.dtd\"><update/>",
         true},
        {"UTF-16 little-endian", Utf16("<?xml version=\"1.0\"?><!DOCTYPE update><update/>", false), true},
        {"UTF-16 big-endian", Utf16("<?xml version=\"1.0\"?><!DOCTYPE update><update/>", true), true},
        // The same characters where they are no declaration. (Lists end with
        // a line break; Wine's SAX reader rejects a buffer that ends at '>'.)
        {"in a comment", kDeclaration + "<!-- <!DOCTYPE update> --><update>" + kEntries + "</update>\r\n", false},
        {"in the text", kDeclaration + "<update><description><![CDATA[<!DOCTYPE x>]]></description></update>\r\n",
         false},
        {"plain list", kDeclaration + "<update>" + kEntries + "</update>\r\n", false},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        EXPECT_EQ(xml::DeclaresDocumentType(c.bytes), c.declaresType) << c.name;
        EXPECT_EQ(static_cast<bool>(xml::LoadBytes(c.bytes)), !c.declaresType) << c.name;
        const std::wstring path = folder / L"list.xml";
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        EXPECT_EQ(static_cast<bool>(xml::LoadFile(path)), !c.declaresType) << c.name;
        StreamedList streamed;
        EXPECT_EQ(ReadListStreamed(path, streamed), !c.declaresType) << c.name;

        const FreshEngine engine;
        DownLoadList list;
        EXPECT_EQ(ReadUpdateList(path, list, true), !c.declaresType) << c.name;
        if (c.declaresType) {
            EXPECT_EQ(list.GetSize(), 0) << c.name;
        }
    }
    // A text already decoded (the parameter package) is held to the same rule.
    EXPECT_FALSE(static_cast<bool>(xml::LoadText(L"<!DOCTYPE fields><fields><threadcount>3</threadcount></fields>")));
    EXPECT_TRUE(static_cast<bool>(xml::LoadText(L"<fields><threadcount>3</threadcount></fields>")));
}

// One element with hundreds of thousands of attributes costs the readers
// many seconds (each attribute is checked against the element's others):
// such a list is refused before it reaches them. An element with as many
// as the limit is still read, and "=" in values, text and comments does
// not count.
TEST(HostileListDocument, ElementWithTooManyAttributesIsRefusedAtOnce) {
    const ComInit com;
    auto element = [](std::size_t count) {
        std::string tag = "<file path=\"a.dll\" ver=\"1\"";
        for (std::size_t i = 2; i < count; ++i) tag += " a" + std::to_string(i) + "=\"x\"";
        return tag + "/>";
    };
    struct Case {
        const char* name;
        std::string bytes;
        bool refused;
    };
    const Case cases[] = {
        {"200k attributes", kDeclaration + "<update>" + element(200000) + "</update>\r\n", true},
        {"one over the limit", kDeclaration + "<update>" + element(xml::kMostAttributes + 1) + "</update>\r\n", true},
        {"UTF-16", Utf16(kDeclaration + "<update>" + element(xml::kMostAttributes + 1) + "</update>\r\n", false), true},
        {"at the limit", kDeclaration + "<update>" + element(xml::kMostAttributes) + "</update>\r\n", false},
        {"= in values, comments and text",
         kDeclaration + "<!-- " + std::string(5000, '=') + " --><update><file path=\"" + std::string(5000, '=') +
             "\" ver=\"1\"/><description>" + std::string(5000, '=') + "</description></update>\r\n",
         false},
    };
    TempFolder folder;
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(xml::HasTagWithTooManyAttributes(c.bytes), c.refused) << c.name;
        EXPECT_EQ(static_cast<bool>(xml::LoadBytes(c.bytes)), !c.refused) << c.name;
        const std::wstring path = folder / L"list.xml";
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        StreamedList streamed;
        EXPECT_EQ(ReadListStreamed(path, streamed), !c.refused) << c.name;
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 3.0) << c.name;
    }
}

TEST(HostileListDocument, MergeGoesIntoTheRootElementOrFails) {
    const ComInit com;
    TempFolder folder;
    const std::wstring product = folder / L"product.xml";
    const std::wstring main = folder / L"main.xml";
    struct Case {
        const char* name;
        std::string productList;
        int merged;
        std::vector<std::wstring> paths;  // read back after a merge
    } cases[] = {
        // A declaration named "update" was once taken for the root: the main
        // list's entries went into it and vanished.
        {"doctype named update", kDeclaration + "<!DOCTYPE update>\r\n<update>" + kEntries + "</update>", 0, {}},
        // A processing instruction may bear the root's name as well.
        {"processing instruction named update", kDeclaration + "<?update x?>\r\n<update>" + kEntries + "</update>", 1,
         {L"a.dll", L"b.dll", L"m.dll"}},
        {"root of another name", kDeclaration + "<updates>" + kEntries + "</updates>", 0, {}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileBytes(product, c.productList));
        ASSERT_TRUE(WriteFileBytes(main, kDeclaration + "<update><file path=\"m.dll\" ver=\"1\"/></update>"));
        EXPECT_EQ(MergeMainListWith(product, main, MainListMacros{}, nullptr), c.merged) << c.name;
        if (c.merged != 1) continue;
        const FreshEngine engine;
        DownLoadList list;
        ASSERT_TRUE(ReadUpdateList(product, list, true)) << c.name;
        std::vector<std::wstring> paths;
        for (const updatefileinfo& record : list.Records()) paths.push_back(record.path);
        EXPECT_EQ(paths, c.paths) << c.name;
    }
}

class HostileListCheck : public CheckFixture {
protected:
    void Configure() {
        Reconfigure(CommonIni()
                        .Set(L"UPDATEINFO", L"ListURL", SiteUrl(L"update.xml"))
                        .Set(L"UPDATEINFO", L"MainListURL", SiteUrl(L"main.xml"))
                        .Set(L"UPDATEINFO", L"FileMd5HandleUrl", digest_ + L"md5"));
    }
};

TEST_F(HostileListCheck, ListThatCannotBeReadWholeFailsTheCheck) {
    Publish(L"main.xml", ListXml("<file path=\"m.dll\" ver=\"1\"/>"));
    struct Case {
        const char* name;
        std::string productList;
    } cases[] = {
        {"doctype", kDeclaration + "<!DOCTYPE update>\r\n<update>" + kEntries + "</update>"},
        {"internal entity",
         kDeclaration + "<!DOCTYPE update [<!ENTITY e \"x\">]>\r\n<update><file path=\"&e;.dll\" ver=\"1\"/></update>"},
        {"undeclared entity", kDeclaration + "<update><file path=\"&e;.dll\" ver=\"1\"/>" + kEntries + "</update>"},
    };
    for (const Case& c : cases) {
        Restart();
        Configure();
        Publish(L"update.xml", c.productList);
        CheckAndReport(nullptr);
        EXPECT_EQ(state().updateList.Status(), UpdateStatus::CheckRemoteError) << c.name;
        EXPECT_EQ(state().updateList.GetSize(), 0) << c.name;
        EXPECT_NE(LogText().find(L"error when download the list file."), std::wstring::npos) << c.name;
    }
}

TEST_F(HostileListCheck, DamagedPreviousDownloadFailsTheQuickCheck) {
    // The quick check reads the copy of the last download from the
    // temporary folder; a damaged copy is no empty list.
    Reconfigure(CommonIni().Set(L"UPDATEINFO", L"ListURL", SiteUrl(L"update.xml")).Set(L"Mirefold", L"QuickCheck", 1));
    state().run.SetMode(RunMode::CheckForUpdates);
    const std::wstring list = state().paths.ListFile();
    ASSERT_TRUE(WriteFileBytes(list + L".xml", kDeclaration + "<update>" + kEntries + "<file path=\"c.dll\""));
    CheckAndReport(nullptr);
    EXPECT_EQ(state().updateList.Status(), UpdateStatus::CheckRemoteError);
    EXPECT_EQ(state().updateList.GetSize(), 0);
    const std::wstring log = LogText();
    EXPECT_NE(log.find(L"The xml file format error!"), std::wstring::npos) << Narrow(log);
    EXPECT_EQ(log.find(L"Find nothing to update."), std::wstring::npos) << Narrow(log);
}

}  // namespace
}  // namespace mf::test
