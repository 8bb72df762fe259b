#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/xml_dom.h"
#include "base/xml_input.h"

namespace mf::xml {
namespace {

std::size_t LongestLine(const std::string& text) {
    std::size_t longest = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            longest = std::max(longest, i - start);
            start = i + 1;
        }
    }
    return longest;
}

std::string Without(std::string text, char c) {
    std::erase(text, c);
    return text;
}

// Entries on one line whose values, text, comments and CDATA hold what looks
// like markup.
std::string OneLineList(int entries) {
    std::string list = "<?xml version=\"1.0\"?><update>";
    for (int i = 0; i < entries; ++i) {
        list += "<file path=\"a/b" + std::to_string(i) + ".dat\" ver='x/>y' note=\"p > q\"/>";
        list += "<!-- <file path=\"no\"/> --><?pi a > b?><description><![CDATA[<x/>]]>t</description>";
    }
    return list + "</update>";
}

TEST(XmlReaderInput, LongLinesAreBrokenInsideTagsOnly) {
    const std::string list = OneLineList(200);
    const std::string input = ReaderInput(list);
    EXPECT_LE(LongestLine(input), kReaderLineLimit + 200);
    EXPECT_GT(input.size(), list.size());
    // Only line breaks were added ...
    EXPECT_EQ(Without(input, '\n'), Without(list, '\n'));
    // ... and only where a tag is about to close.
    for (std::size_t at = input.find('\n'); at != std::string::npos; at = input.find('\n', at + 1)) {
        const std::string next = input.substr(at + 1, 2);
        EXPECT_TRUE(next == "/>" || next[0] == '>') << input.substr(at > 40 ? at - 40 : 0, 60);
        // Outside any value: attribute values hold no "<", so the tag
        // starts at the last one, and its quotes are balanced.
        const std::string tag = input.substr(0, at).substr(input.rfind('<', at));
        EXPECT_EQ(std::count(tag.begin(), tag.end(), '"') % 2, 0) << tag;
        EXPECT_EQ(std::count(tag.begin(), tag.end(), '\'') % 2, 0) << tag;
    }
    // Nothing inside comments, CDATA sections or processing instructions.
    EXPECT_EQ(input.find("<!-- <file path=\"no\"\n"), std::string::npos);
    EXPECT_EQ(input.find("<x\n"), std::string::npos);
}

TEST(XmlReaderInput, ShortLinesAndDeclarationsStayAsTheyAre) {
    const std::string lines = "<?xml version=\"1.0\"?>\n<update>\n  <file path=\"a\"/>\n</update>\n";
    EXPECT_EQ(ReaderInput(lines), lines);
    // Past a DTD nothing is touched (the readers refuse one anyway).
    const std::string dtd = "<!DOCTYPE update [<!ENTITY e \"x\">]><update>" + OneLineList(50).substr(29);
    EXPECT_EQ(ReaderInput(dtd), dtd);
}

TEST(XmlReaderInput, Gb2312IsNamedGbk) {
    struct Case {
        std::string declaration;
        std::string expected;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\" encoding=\"gb2312\"?>", "<?xml version=\"1.0\" encoding=\"GBK\"?>"},
        {"<?xml version=\"1.0\" encoding = 'GB2312' ?>", "<?xml version=\"1.0\" encoding = 'GBK' ?>"},
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"Gb2312\"?>",
         "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"GBK\"?>"},
        {"<?xml version=\"1.0\" encoding=\"gb2312-80\"?>", "<?xml version=\"1.0\" encoding=\"gb2312-80\"?>"},
        {"<?xml version=\"1.0\" encoding=\"GBK\"?>", "<?xml version=\"1.0\" encoding=\"GBK\"?>"},
        {"<?xml version=\"1.0\"?>", "<?xml version=\"1.0\"?>"},
    };
    const std::string body = "\r\n<update><file path=\"\xCC\xE2\xBF\xE2.txt\" ver=\"1\"/></update>";
    for (const Case& c : cases) EXPECT_EQ(ReaderInput(c.declaration + body), c.expected + body) << c.declaration;
    // Only the declaration counts: the same text elsewhere is content.
    const std::string elsewhere = "<update><file path=\"encoding='gb2312'\"/></update>";
    EXPECT_EQ(ReaderInput(elsewhere), elsewhere);
}

TEST(XmlReaderInput, Utf16InEitherByteOrder) {
    const std::string list = OneLineList(100);
    for (const bool little : {true, false}) {
        std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
        for (char c : list) {
            bytes.push_back(little ? c : '\0');
            bytes.push_back(little ? '\0' : c);
        }
        const std::string input = ReaderInput(bytes);
        std::string narrowed;
        for (std::size_t i = 2; i + 1 < input.size(); i += 2) narrowed.push_back(input[little ? i : i + 1]);
        EXPECT_EQ(narrowed, ReaderInput(list)) << little;
    }
}

}  // namespace
}  // namespace mf::xml

namespace mf::xml {
namespace {

TEST(XmlDocuments, DocumentTypeFoundInAnyEncoding) {
    using namespace std::string_literals;
    EXPECT_TRUE(DeclaresDocumentType("<?xml version=\"1.0\"?><!DOCTYPE t [<!ENTITY e \"x\">]><t/>"s));
    EXPECT_TRUE(DeclaresDocumentType("\xFF\xFE<\0!\0D\0O\0C\0T\0Y\0P\0E\0 \0t\0>\0"s));
    EXPECT_TRUE(DeclaresDocumentType("\xFE\xFF\0<\0!\0D\0O\0C\0T\0Y\0P\0E\0 \0t\0>"s));
    EXPECT_FALSE(DeclaresDocumentType("<?xml version=\"1.0\"?><t><run file=\"a.exe\"/></t>"s));
}

}  // namespace
}  // namespace mf::xml
