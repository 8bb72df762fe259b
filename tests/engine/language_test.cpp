#include <gtest/gtest.h>

#include <set>

#include "base/handles.h"
#include "base/strings.h"
#include "base/text_format.h"
#include "engine/language.h"
#include "support/engine_fixture.h"

namespace mf {
namespace {

TEST(Language, FileSyntax) {
    Language lang;
    lang.LoadText(
        L"ignored=before any section\r\n"
        L"[MAIN]\r\n"
        L"; comment=no\r\n"
        L"' comment=no\r\n"
        L"// comment=no\r\n"
        L"\\\\ comment=no\r\n"
        L"a=b\r\n"  // shorter than 4 characters
        L"Copying files[%d/%d]...=正在复制文件[%d/%d]...   \r\n"
        L"Line one\\nline two=第一行\\n第二行\r\n"
        L"Tab\\there=制表\r\n"
        L"[MAIN\r\n"  // no closing bracket: an entry line without "="
        L"Key=first\r\n"
        L"Key=second=with equals\r\n"
        L"[TRYICON]\r\n"
        L"Update=更新\r\n");
    EXPECT_EQ(lang.Translate(L"MAIN", L"Copying files[%d/%d]..."), L"正在复制文件[%d/%d]...");
    EXPECT_EQ(lang.Translate(L"MAIN", L"Line one\nline two"), L"第一行\n第二行");
    EXPECT_EQ(lang.Translate(L"MAIN", L"Tab\there"), L"制表");
    EXPECT_EQ(lang.Translate(L"MAIN", L"Key"), L"second=with equals");
    EXPECT_EQ(lang.Translate(L"MAIN", L"ignored"), L"ignored");
    EXPECT_EQ(lang.Translate(L"MAIN", L"; comment"), L"; comment");
    EXPECT_EQ(lang.Translate(L"MAIN", L"a"), L"a");
    EXPECT_EQ(lang.Translate(L"MAIN", L"Update"), L"Update");
    EXPECT_EQ(lang.Translate(L"TRYICON", L"Update"), L"更新");
    EXPECT_EQ(lang.Translate(L"NOPE", L"Update"), L"Update");
}

TEST(Language, LaterEntriesReplaceEarlierOnesAndEmptyTranslationsAreIgnored) {
    Language lang;
    lang.LoadText(L"[MAIN]\nHello=你好\nEmpty=\n");
    lang.LoadText(L"[MAIN]\nHello=您好\n");
    EXPECT_EQ(lang.Translate(L"MAIN", L"Hello"), L"您好");
    EXPECT_EQ(lang.Translate(L"MAIN", L"Empty"), L"Empty");
}

class TranslateTest : public test::EngineFixture {};

TEST_F(TranslateTest, TranslatedThenFormatted) {
    state().language.LoadText(
        L"[MAIN]\nCopying files[%d/%d]...=正在复制文件[%d/%d]...\nFound %d files=找到 %s 个文件\n");
    EXPECT_EQ(TranslateFormat(L"Copying files[%d/%d]...", 2, 5), L"正在复制文件[2/5]...");
    // A translation whose placeholders differ must not be used as a format.
    EXPECT_EQ(TranslateFormat(L"Found %d files", 7), L"Found 7 files");
}

// The embedded language files of the engine: both load, hold the same
// English texts, and every translation keeps the English placeholders.
std::map<std::wstring, std::map<std::wstring, std::wstring>> EntriesOf(HMODULE module, int id, UINT codePage) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), L"LANGUAGE");
    EXPECT_NE(found, nullptr) << id;
    std::map<std::wstring, std::map<std::wstring, std::wstring>> entries;
    if (found == nullptr) return entries;
    const char* data = static_cast<const char*>(::LockResource(::LoadResource(module, found)));
    const int size = static_cast<int>(::SizeofResource(module, found));
    const int n = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, data, size, nullptr, 0);
    EXPECT_GT(n, 0) << "resource " << id << " is not in code page " << codePage;
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, data, size, text.data(), n);
    std::wstring section;
    for (std::wstring line : Split(text, L'\n')) {
        line = TrimRight(line);
        if (line.size() < 4 || line[0] == L';') continue;
        if (line.front() == L'[' && line.back() == L']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const std::size_t eq = line.find(L'=');
        if (eq != std::wstring::npos) entries[section][line.substr(0, eq)] = line.substr(eq + 1);
    }
    return entries;
}

TEST(EmbeddedLanguages, CompleteAndConsistent) {
    UniqueModule exe(
        ::LoadLibraryExW(test::BuildPath(L"bin\\mirefold.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(exe);
    const auto simplified = EntriesOf(exe.get(), language_resource::kSimplifiedChinese, 936);
    const auto traditional = EntriesOf(exe.get(), language_resource::kTraditionalChinese, 950);
    ASSERT_FALSE(simplified.empty());
    std::set<std::wstring> sections;
    for (const auto& [name, _] : simplified) sections.insert(name);
    for (const auto& [name, _] : traditional) sections.insert(name);
    for (const std::wstring& section : sections) {
        const auto s = simplified.find(section);
        const auto t = traditional.find(section);
        ASSERT_TRUE(s != simplified.end() && t != traditional.end()) << "section " << Narrow(section, CodePage::Utf8);
        for (const auto& [english, translation] : s->second) {
            EXPECT_TRUE(t->second.count(english)) << "missing in traditional: " << Narrow(english, CodePage::Utf8);
            EXPECT_TRUE(SamePlaceholders(english, translation)) << Narrow(english, CodePage::Utf8);
        }
        for (const auto& [english, translation] : t->second) {
            EXPECT_TRUE(s->second.count(english)) << "missing in simplified: " << Narrow(english, CodePage::Utf8);
            EXPECT_TRUE(SamePlaceholders(english, translation)) << Narrow(english, CodePage::Utf8);
        }
    }
}

}  // namespace
}  // namespace mf
