// A language file (".lan") as the engine reads it from beside itself, where
// anybody may have edited it: its bytes read into the table, then messages
// translated and formatted with their arguments, as the engine shows them.
#include "base/text_format.h"
#include "engine/language_text.h"
#include "fuzz_input.h"

namespace {

// A line is read up to its 1024th byte, so a translation is no longer; each
// of at most three arguments takes its value and at most a field's width.
constexpr std::size_t kMostFormatted = 1024 + 3 * (mf::kMaxFieldWidth + 64);

void Check(const std::wstring& formatted) {
    if (formatted.empty()) mf::fuzz::Broken("a message formatted to nothing");
    if (formatted.size() > kMostFormatted) mf::fuzz::Broken("a message longer than its translation can make it");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mf::LanguageSections table;
    mf::ReadLanguageText(mf::ReadLanguageBytes(mf::fuzz::Bytes(data, size)), table);
    // The engine's messages are in section MAIN.
    const std::wstring main = L"MAIN";
    const std::wstring found = L"Found %d files need to update...";
    Check(mf::FormatTranslated(found, mf::TranslateIn(table, main, found), 3));
    const std::wstring copying = L"Copying files[%d/%d]...";
    Check(mf::FormatTranslated(copying, mf::TranslateIn(table, main, copying), 1, 2));
    const std::wstring download = L"download:%s";
    Check(mf::FormatTranslated(download, mf::TranslateIn(table, main, download), L"http://h/x.xml"));
    const std::wstring speed = L"%.1f KB/s, %I64d bytes left %c";
    Check(mf::FormatTranslated(speed, mf::TranslateIn(table, main, speed), 12.5, std::int64_t{1} << 40, 0x6587u));
    return 0;
}
