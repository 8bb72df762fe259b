#include <gtest/gtest.h>

#include <algorithm>

#include "base/handles.h"
#include "check/main_list_merge.h"
#include "check/update_list_reader.h"
#include "engine/process_state.h"
#include "list/run_command.h"
#include "support/engine_fixture.h"
#include "support/test_support.h"

namespace mf {
namespace {

class UpdateListReader : public test::EngineFixture {
protected:
    // Writes a list (UTF-8, with declaration) and reads it.
    bool Read(const std::string& body, bool server = false, const std::string& root = "update") {
        path_ = folder() / L"list.xml";
        // The root may carry attributes: "update hash=\"md5\"".
        const std::string name = root.substr(0, root.find(' '));
        test::WriteFileBytes(path_,
                             "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<" + root + ">" + body + "</" + name + ">");
        return ReadUpdateList(path_, list_, server);
    }

    std::vector<std::wstring> Paths() const {
        std::vector<std::wstring> paths;
        for (const updatefileinfo& r : list_.Records()) paths.push_back(r.path);
        return paths;
    }

    ComInit com_;
    std::wstring path_;
    DownLoadList list_;
};

using Strings = std::vector<std::wstring>;

TEST_F(UpdateListReader, DuplicatePathsDifferingInCaseKeepTheFirst) {
    ASSERT_TRUE(Read(R"(<file path="a.dll" ver="1"/><file path="A.DLL" ver="2"/><file path="b.dll" ver="3"/>)"));
    ASSERT_EQ(list_.GetSize(), 2);
    EXPECT_EQ(list_[0].path, L"a.dll");
    EXPECT_EQ(list_[0].ver, L"1");
    EXPECT_EQ(list_[1].path, L"b.dll");
}

TEST_F(UpdateListReader, UrlOnlyRecords) {
    ASSERT_TRUE(Read(R"(<file url="http://h/d/setup.exe" ver="1"/>)"
                     R"(<file path="https://h/d/x.zip" ver="1"/>)"
                     R"(<file URL="http://h/d/" ver="1"/>)"
                     R"(<file path="HTTP://h/e/y.dll" ver="1"/>)"));
    ASSERT_EQ(list_.GetSize(), 4);
    EXPECT_EQ(list_[0].path, L"setup.exe");
    EXPECT_EQ(list_[0].url, L"http://h/d/setup.exe");
    EXPECT_EQ(list_[1].path, L"x.zip");
    EXPECT_EQ(list_[1].url, L"https://h/d/x.zip");
    EXPECT_EQ(list_[2].path, L"d");
    EXPECT_EQ(list_[3].path, L"y.dll");
    EXPECT_EQ(list_[3].url, L"HTTP://h/e/y.dll");
}

TEST_F(UpdateListReader, PathAndVersionNormalised) {
    ASSERT_TRUE(Read(R"(<file path="bin|tool.exe" ver=" ABC " desname="x|y._.zip"/>)"
                     R"(<file path="data\big.dat._.zip" md5="D41D8CD9"/>)"
                     R"(<file path="  spaced.txt  " Ver="2"/>)"));
    EXPECT_EQ(Paths(), (Strings{L"bin\\tool.exe", L"data\\big.dat", L"spaced.txt"}));
    EXPECT_EQ(list_[0].ver, L"abc");
    EXPECT_EQ(list_[0].desname, L"x|y._.zip");  // targets are kept as written
    EXPECT_EQ(list_[1].ver, L"d41d8cd9");
    EXPECT_EQ(list_[2].ver, L"2");
}

TEST_F(UpdateListReader, EveryAttributeFormInItsOrder) {
    ASSERT_TRUE(
        Read(R"(<file Name="a.exe" Ver="" MD5="F0" Activity="run" Url="http://h/a" SHORTCUT="{desktop}\A"
                         SHORTICON="a.ico" SHORTCUTICONINDEX="2" DstName="{app}\b.exe"/>)"
             R"(<file path="p.dll" Path="q.dll" ver="1" md5="2" oper="reg" do="del" shortcut="s" ShortCut="t"/>)"));
    ASSERT_EQ(list_.GetSize(), 2);
    const updatefileinfo& a = list_[0];
    EXPECT_EQ(a.path, L"a.exe");
    EXPECT_EQ(a.ver, L"f0");
    EXPECT_EQ(a.oper, OPER_RUN);
    EXPECT_EQ(a.url, L"http://h/a");
    EXPECT_EQ(a.shortcut, L"{desktop}\\A");
    EXPECT_EQ(a.shortcuticon, L"a.ico");
    EXPECT_EQ(a.iconindex, L"2");
    EXPECT_EQ(a.desname, L"{app}\\b.exe");
    const updatefileinfo& p = list_[1];
    EXPECT_EQ(p.path, L"p.dll");
    EXPECT_EQ(p.ver, L"1");
    EXPECT_EQ(p.oper, OPER_REG);
    EXPECT_EQ(p.shortcut, L"s");
}

TEST_F(UpdateListReader, RecordsAnywhereInDocumentOrderWithCaseSensitiveNames) {
    ASSERT_TRUE(Read(R"(<group><file path="1.dll" ver="1"><file path="2.dll" ver="1"/></file></group>)"
                     R"(<File path="no1.dll" ver="1"><file path="3.dll" ver="1"/></File>)"
                     R"(<RUN path="no2.exe"/><Description>no3</Description>)"
                     R"(<deep><a><b><file path="4.dll" ver="1"/></b></a></deep>)"));
    EXPECT_EQ(Paths(), (Strings{L"1.dll", L"2.dll", L"3.dll", L"4.dll"}));
}

TEST_F(UpdateListReader, MessagesAndCommands) {
    ASSERT_TRUE(Read(R"(<description>first line\nsecond line</description>)"
                     R"(<run path="x.exe" param="-s" wait="1" key="k7" ver="5"/>)"
                     R"(<run path="C:\Tools\7zip9\setup.exe" param="/S" wait="1" key="k"/>)"));
    ASSERT_EQ(list_.GetSize(), 3);
    EXPECT_EQ(list_[0].path, L"first line\r\nsecond line");
    EXPECT_EQ(list_[0].desname, L"first line\r\nsecond line");
    EXPECT_EQ(list_[0].oper, OPER_DESCRIPTION);
    EXPECT_EQ(list_[0].ver, L"999");
    EXPECT_EQ(list_[1].path, L"x.exe9-s919k7");
    EXPECT_EQ(list_[1].oper, OPER_COMMAND);
    EXPECT_EQ(list_[1].ver, L"999");
    EXPECT_EQ(SplitRunCommand(list_[2].path), (RunCommandFields{L"C:\\Tools\\7zip9\\setup.exe", L"/S", L"1", L"k"}));
}

TEST_F(UpdateListReader, RootSelection) {
    struct Case {
        const char* root;
        bool found;
    };
    for (const Case& c : {Case{"update", true}, Case{"updates", true}, Case{"mirefold", true}, Case{"Update", false},
                          Case{"MIREFOLD", false}, Case{"list", false}}) {
        list_.SetSize(0);
        EXPECT_EQ(Read(R"(<file path="a.dll" ver="1"/>)", false, c.root), c.found) << c.root;
        EXPECT_EQ(list_.GetSize(), c.found ? 1 : 0) << c.root;
    }
}

TEST_F(UpdateListReader, MalformedOrMissingFileAddsNothing) {
    path_ = folder() / L"bad.xml";
    test::WriteFileBytes(path_, "<update><file path=\"a.dll\" ver=\"1\"/><file path=\"b.dll\"</update>");
    EXPECT_FALSE(ReadUpdateList(path_, list_, true));
    EXPECT_FALSE(ReadUpdateList(folder() / L"missing.xml", list_, false));
    EXPECT_EQ(list_.GetSize(), 0);
    EXPECT_EQ(list_.listIdentifier, L"");
}

TEST_F(UpdateListReader, AppendsToWhatIsThere) {
    updatefileinfo earlier;
    earlier.path = L"earlier.dll";
    list_.Add(earlier);
    ASSERT_TRUE(Read(R"(<file path="earlier.dll" ver="1"/>)"));
    // Duplicates are found within one list only.
    EXPECT_EQ(Paths(), (Strings{L"earlier.dll", L"earlier.dll"}));
}

TEST_F(UpdateListReader, ServerListValuesAndIdentifierRemoval) {
    list_.fileUrlTemplate = L"untouched";
    ASSERT_TRUE(
        Read(R"(<guid>{G-1}</guid><fileurl>http://cdn/{filename}</fileurl><file path="a.dll" ver="1"/>)", false));
    EXPECT_EQ(list_.listIdentifier, L"");
    EXPECT_EQ(list_.fileUrlTemplate, L"untouched");
    // Reading leaves the file as it is; the removal takes the identifier out.
    EXPECT_NE(test::ReadFileBytes(path_).find("guid"), std::string::npos);
    RemoveListIdentifier(path_);
    EXPECT_EQ(test::ReadFileBytes(path_).find("guid"), std::string::npos);
    EXPECT_NE(test::ReadFileBytes(path_).find("a.dll"), std::string::npos);

    ASSERT_TRUE(Read(R"(<guid>{G-2}</guid><fileurl>http://cdn/{filename}</fileurl>)", true));
    EXPECT_EQ(list_.listIdentifier, L"{G-2}");
    EXPECT_EQ(list_.fileUrlTemplate, L"http://cdn/{filename}");

    ASSERT_TRUE(Read(R"(<file path="b.dll" ver="1"/>)", true));
    EXPECT_EQ(list_.fileUrlTemplate, L"{listurl-base}/{filename}");
}

TEST_F(UpdateListReader, ListWithoutIdentifierIsNotRewritten) {
    const std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n  <file path=\"a.dll\"   ver=\"1\" "
        "/>\r\n</update>\r\n";
    path_ = folder() / L"list.xml";
    test::WriteFileBytes(path_, body);
    ASSERT_TRUE(ReadUpdateList(path_, list_, true));
    EXPECT_EQ(test::ReadFileBytes(path_), body);
}

TEST_F(UpdateListReader, DeclaredEncodingIsHonoured) {
    path_ = folder() / L"latin1.xml";
    test::WriteFileBytes(
        path_, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><update><description>caf\xE9</description></update>");
    ASSERT_TRUE(ReadUpdateList(path_, list_, false));

    path_ = folder() / L"utf16.xml";
    const std::wstring text =
        L"<?xml version=\"1.0\" encoding=\"UTF-16\"?><update><file path=\"\u9898\u5e93.txt\" ver=\"1\"/></update>";
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    test::WriteFileBytes(path_, bytes);
    ASSERT_TRUE(ReadUpdateList(path_, list_, false));
    ASSERT_EQ(list_.GetSize(), 2);
    EXPECT_EQ(list_[0].path, L"caf\u00e9");
    EXPECT_EQ(list_[1].path, L"\u9898\u5e93.txt");
}

// Which records carry a content digest: only keys from "md5"/"MD5" in a list
// whose root says hash="md5" (or an entry that says so itself).
std::vector<bool> DigestFlags(const DownLoadList& list) {
    std::vector<bool> flags;
    for (const updatefileinfo& r : list.Records()) flags.push_back(r.md5key);
    return flags;
}

constexpr const char* kKeyedEntries =
    R"(<file path="a.dll" md5="AAAA"/><file path="b.dll" MD5="bbbb"/><file path="c.dll" ver="3" md5="cccc"/>)"
    R"(<file path="d.dll" Ver="4"/><group><file path="e.dll" md5="eeee"/></group><description>text</description>)";

TEST_F(UpdateListReader, MarkedListDeclaresItsMd5KeysDigests) {
    ASSERT_TRUE(Read(kKeyedEntries, true, R"(update hash="md5")"));
    EXPECT_EQ(DigestFlags(list_), (std::vector<bool>{true, true, false, false, true, false}));
    EXPECT_EQ(list_[0].ver, L"aaaa");
    EXPECT_EQ(list_[2].ver, L"3");  // "ver" first, as always

    for (const char* root : {"update", R"(update hash="sha1")", R"(update hash="")"}) {
        list_.SetSize(0);
        ASSERT_TRUE(Read(kKeyedEntries, true, root)) << root;
        EXPECT_EQ(DigestFlags(list_), std::vector<bool>(6, false)) << root;
    }
    list_.SetSize(0);
    ASSERT_TRUE(Read(kKeyedEntries, false, R"(updates hash=" MD5 ")"));
    EXPECT_EQ(DigestFlags(list_), (std::vector<bool>{true, true, false, false, true, false}));
}

TEST_F(UpdateListReader, EntryDeclarationWinsOverTheRoot) {
    ASSERT_TRUE(Read(R"(<file path="a.dll" md5="aa" hash="none"/><file path="b.dll" md5="bb"/>)", true,
                     R"(update hash="md5")"));
    EXPECT_EQ(DigestFlags(list_), (std::vector<bool>{false, true}));
    list_.SetSize(0);
    ASSERT_TRUE(Read(R"(<file path="a.dll" md5="aa" hash="md5"/><file path="b.dll" md5="bb"/>)", true));
    EXPECT_EQ(DigestFlags(list_), (std::vector<bool>{true, false}));
}

// The publishing tool marks every file with whether its zip variant is
// published; a file without the mark (any other list) is unmarked.
TEST_F(UpdateListReader, ZipVariantMarksAreRead) {
    ASSERT_TRUE(Read(R"(<file path="a" ver="1" zip="1"/><file path="b" ver="1" zip="0"/><file path="c" ver="1"/>)"
                     R"(<file path="d" ver="1" zip="yes"/><file path="e" ver="1" Zip="1"/>)",
                     true));
    std::vector<ZipHint> hints;
    for (const updatefileinfo& r : list_.Records()) hints.push_back(r.zip);
    EXPECT_EQ(hints, (std::vector<ZipHint>{ZipHint::Present, ZipHint::Absent, ZipHint::Unmarked, ZipHint::Unmarked,
                                           ZipHint::Unmarked}));
}

// The main list's entries join the product list: each keeps what its own
// list declared.
TEST_F(UpdateListReader, MergedEntriesKeepTheirListsDeclaration) {
    struct Case {
        const char* productRoot;
        const char* mainRoot;
        std::vector<bool> flags;  // p.dll, m.dll
    };
    const Case cases[] = {
        {R"(update hash="md5")", "update", {true, false}},
        {"update", R"(update hash="md5")", {false, true}},
        {R"(update hash="md5")", R"(update hash="md5")", {true, true}},
        {"update", "update", {false, false}},
    };
    for (const Case& c : cases) {
        const std::wstring product = folder() / L"product.xml";
        const std::wstring main = folder() / L"main.xml";
        test::WriteFileBytes(product, std::string("<") + c.productRoot + R"(><file path="p.dll" md5="11"/></update>)");
        test::WriteFileBytes(main, std::string("<") + c.mainRoot + R"(><file path="m.dll" md5="22"/></update>)");
        ASSERT_EQ(MergeMainListWith(product, main, MainListMacros{}, nullptr), 1);
        DownLoadList merged;
        ASSERT_TRUE(ReadUpdateList(product, merged, true));
        ASSERT_EQ(merged.GetSize(), 2);
        EXPECT_EQ(DigestFlags(merged), c.flags) << c.productRoot << " + " << c.mainRoot;
    }
}

// Wine's XML library refuses the name "gb2312" but reads "GBK", its
// superset; lists from Chinese vendors commonly declare gb2312.
TEST_F(UpdateListReader, ListDeclaringGb2312IsReadAsGbk) {
    // "\u9898\u5e93" in GB2312, "\u5803" only in GBK.
    const std::string path = "\xCC\xE2\xBF\xE2\x88\xD2.txt";
    for (const char* encoding : {"gb2312", "GB2312", "Gb2312"}) {
        list_.SetSize(0);
        path_ = folder() / L"gb.xml";
        test::WriteFileBytes(path_, std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                                        "\"?>\r\n<update>\r\n<guid>g</guid>\r\n<file path=\"" + path +
                                        "\" ver=\"1\"/>\r\n<description>\xCC\xE2</description>\r\n</update>\r\n");
        // Read twice: the second time from the copy written back without
        // its identifier.
        for (int pass = 0; pass < 2; ++pass) {
            DownLoadList read;
            ASSERT_TRUE(ReadUpdateList(path_, read, true)) << encoding << " " << pass << test::ReadFileBytes(path_);
            ASSERT_EQ(read.GetSize(), 2) << encoding << " " << pass;
            EXPECT_EQ(read[0].path, L"\u9898\u5e93\u5803.txt") << encoding << " " << pass;
            EXPECT_EQ(read[1].path, L"\u9898") << encoding << " " << pass;
        }
        // The merge reads it the same way.
        const std::wstring main = folder() / L"main.xml";
        test::WriteFileBytes(path_, std::string("<?xml version=\"1.0\" encoding=\"") + encoding +
                                        "\"?><update><file path=\"" + path + "\" ver=\"1\"/></update>");
        test::WriteFileBytes(main, R"(<update><file path="m.dll" ver="2"/></update>)");
        ASSERT_EQ(MergeMainListWith(path_, main, MainListMacros{}, nullptr), 1) << encoding;
        ASSERT_TRUE(ReadUpdateList(path_, list_, true));
        EXPECT_EQ(Paths(), (Strings{L"\u9898\u5e93\u5803.txt", L"m.dll"})) << encoding;
    }
}

// A list on one line, as some tools write them, gives the same records as
// the same list on many lines (the reader's input is broken into lines).
TEST_F(UpdateListReader, ListOnOneLineReadsAsWithLines) {
    std::string entries;
    for (int i = 0; i < 3000; ++i) {
        const std::string n = std::to_string(i);
        entries += "<file path=\"d\\f" + n + ".dat\" ver='V" + n + "' note=\"a > b /\"/>";
        if (i % 500 == 0)
            entries += "<!-- <file path=\"no\"/> --><description><![CDATA[<b/> x]]>" + n +
                       "</description><run path=\"r" + n + ".exe\" param=\"/s\" wait=\"1\" key=\"k\"></run>";
    }
    std::string lines = entries;
    for (std::size_t at = lines.find("><"); at != std::string::npos; at = lines.find("><", at + 3)) {
        if (lines.compare(at - 2, 2, "]]") == 0 || lines.compare(at - 2, 2, "--") == 0) continue;
        lines.insert(at + 1, "\n");
    }
    ASSERT_TRUE(Read(lines));
    const std::vector<updatefileinfo> expected = list_.Records();
    ASSERT_EQ(expected.size(), 3000u + 12u);
    list_.SetSize(0);
    ASSERT_TRUE(Read(entries));
    const std::vector<updatefileinfo> read = list_.Records();
    ASSERT_EQ(read.size(), expected.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].path, expected[i].path) << i;
        EXPECT_EQ(read[i].ver, expected[i].ver) << i;
        EXPECT_EQ(read[i].oper, expected[i].oper) << i;
    }
    EXPECT_EQ(read[0].path, L"d\\f0.dat");
    EXPECT_EQ(read[1].path, L"<b/> x0");
}

// The merged list and the list written back without its identifier keep one
// entry per line: the DOM alone writes a document on one line.
TEST_F(UpdateListReader, MergeAndIdentifierRemovalKeepLines) {
    auto entriesPerLine = [](const std::string& text) {
        std::size_t most = 0;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(start, end - start);
            std::size_t count = 0;
            for (std::size_t at = line.find("<file"); at != std::string::npos; at = line.find("<file", at + 1)) ++count;
            most = std::max(most, count);
            start = end + 1;
        }
        return most;
    };
    const std::wstring product = folder() / L"product.xml";
    const std::wstring main = folder() / L"main.xml";
    test::WriteFileBytes(product, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update>\r\n  <guid>g</guid>\r\n"
                                  "  <file path=\"a\" ver=\"1\"/>\r\n  <file path=\"b\" ver=\"1\"/>\r\n</update>\r\n");
    test::WriteFileBytes(
        main,
        "<update><file path=\"m1\" ver=\"1\"/><file path=\"m2\" ver=\"1\"/><file path=\"a\" ver=\"2\"/>"
        "<description>kept out</description></update>");
    ASSERT_EQ(MergeMainListWith(product, main, MainListMacros{}, nullptr), 1);
    EXPECT_EQ(entriesPerLine(test::ReadFileBytes(product)), 1u) << test::ReadFileBytes(product);
    ASSERT_TRUE(ReadListAndRemoveIdentifier(product, list_, true));
    EXPECT_EQ(Paths(), (Strings{L"a", L"b", L"m2", L"m1"}));
    EXPECT_EQ(list_.listIdentifier, L"g");
    const std::string written = test::ReadFileBytes(product);
    EXPECT_EQ(written.find("guid"), std::string::npos);
    EXPECT_EQ(entriesPerLine(written), 1u) << written;
}

}  // namespace
}  // namespace mf
