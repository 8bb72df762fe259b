// Language files are text that somebody else wrote: a translation may ask
// for any width or precision. Whatever it asks, a message comes out, in
// English when the translation does not fit.
#include <gtest/gtest.h>

#include "support/engine_fixture.h"

namespace mf {
namespace {

class HostileLanguageFile : public test::EngineFixture {};

TEST_F(HostileLanguageFile, WidthsAndPrecisionsCannotCrashTheEngine) {
    const std::string lan =
        "[MAIN]\r\n"
        "Found %d files need to update...=\xe5\x8f\x91\xe7\x8e\xb0 %2000000000d \xe4\xb8\xaa\r\n"
        "download:%s=%4000000000s\r\n"
        "Copying files[%d/%d]...=%d/%.999999999d\r\n"
        "Checking %s=%1000s\r\n"
        "Waiting %d=%5d\r\n";
    ASSERT_TRUE(test::WriteFileBytes(folder() / L"hostile.lan", lan));
    ASSERT_TRUE(state().language.LoadFile(folder() / L"hostile.lan"));

    struct Case {
        std::wstring formatted;
        const wchar_t* expected;
    } cases[] = {
        {TranslateFormat(L"Found %d files need to update...", 3), L"Found 3 files need to update..."},
        {TranslateFormat(L"download:%s", L"http://h/x.xml"), L"download:http://h/x.xml"},
        {TranslateFormat(L"Copying files[%d/%d]...", 1, 2), L"Copying files[1/2]..."},
        {TranslateFormat(L"Checking %s", L"a.dll"), L"Checking a.dll"},
        {TranslateFormat(L"Waiting %d", 4), L"Waiting 4"},  // a width the English text lacks
    };
    for (const Case& c : cases) EXPECT_EQ(c.formatted, c.expected);
}

}  // namespace
}  // namespace mf
