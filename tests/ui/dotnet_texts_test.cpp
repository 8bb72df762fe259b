// The .NET download dialog's texts and where it saves the installer.
#include <gtest/gtest.h>

#include "ui/dotnet_dialog.h"

namespace mf::ui {
namespace {

TEST(DotNetDialog, LocalFileIsTheLastPartOfTheAddress) {
    struct Case {
        const wchar_t* address;
        const wchar_t* file;
    };
    const Case cases[] = {
        {L"http://update.mirefold.net/dotnetfx/dotnetfx20.exe", L"C:\\T\\list\\dotnetfx20.exe"},
        {L"http://mirror\\fx\\NDP20.exe", L"C:\\T\\list\\NDP20.exe"},
        {L"http://mirror/get/fx.exe?token=a/b", L"C:\\T\\list\\fx.exe"},
        {L"http://mirror/fx/", L"C:\\T\\list\\dotnetfx20.exe"},
        {L"http://mirror/fx/..", L"C:\\T\\list\\dotnetfx20.exe"},
        {L"fx.exe", L"C:\\T\\list\\fx.exe"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DotNetLocalFile(L"C:\\T\\list", c.address, L"20"), c.file);
    }
}

TEST(DotNetDialog, TextsAreTranslatedWithTheVersionPutIn) {
    const auto english = [](const std::wstring& text) { return text; };
    const DotNetTexts texts = MakeDotNetTexts(L"4.0", english);
    EXPECT_EQ(texts.title, L"Install NET Framework 4.0");
    EXPECT_EQ(texts.message, L"Your software will need to install NET Framework 4.0,\nPlease download it and install.");
    EXPECT_EQ(texts.complete, L"NET Framework 4.0 download is complete,\nPlease install it.");
    EXPECT_EQ(texts.failed, L"NET Framework 4.0 download failed,\nPlease download again.");
    const auto chinese = [](const std::wstring& text) {
        return text == L"Install NET Framework 2.0" ? std::wstring(L"安装 NET Framework 2.0") : text;
    };
    EXPECT_EQ(MakeDotNetTexts(L"3.5", chinese).title, L"安装 NET Framework 3.5");
}

}  // namespace
}  // namespace mf::ui
