// The header values of an HTTP reply that the engine reads as text, from
// any server: Content-Range, Content-Length and the status line with the
// raw header block after it (the input up to its first line break is the
// version, the rest the raw headers).
#include "net/http_values.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = mf::fuzz::ByteText(data, size);
    const mf::ContentRange range = mf::ParseContentRange(text);
    if (range.valid && (range.first < 0 || range.last < range.first || (range.total >= 0 && range.last >= range.total)))
        mf::fuzz::Broken("a valid Content-Range that is no satisfied range");
    if (mf::ContentRangeTotal(text) != (range.valid ? range.total : -1))
        mf::fuzz::Broken("ContentRangeTotal disagrees with the parse");
    if (mf::ParseContentLength(text) < -1) mf::fuzz::Broken("a negative Content-Length");
    const std::size_t lineEnd = text.find(L'\n');
    const std::wstring version = text.substr(0, lineEnd);
    const std::wstring raw = lineEnd == std::wstring::npos ? std::wstring() : text.substr(lineEnd + 1);
    (void)mf::StatusLineFault(version, raw);
    return 0;
}
