// The values of an HTTP reply that the engine reads as text: Content-Range,
// Content-Length and the status line. They come from any server (or from
// whatever sits between), so they are parsed here in plain C++ without a
// system header, and fuzzed natively; internet.h reads them off a request.
#pragma once

#include <cstdint>
#include <string>

namespace mf {

// A Content-Range value ("bytes 0-0/1234") taken apart. `total` is -1 when
// the server wrote "*" (length unknown); `valid` is false for anything that
// is not one satisfied byte range.
struct ContentRange {
    bool valid = false;
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::int64_t total = -1;
};
ContentRange ParseContentRange(const std::wstring& text);

// The complete length from a Content-Range value; -1 when it is absent or
// unknown ("*").
std::int64_t ContentRangeTotal(const std::wstring& contentRange);

// A Content-Length value as a 64-bit number: -1 unless it is decimal digits
// (white space around them allowed); past what 63 bits hold it is the
// largest number, which every limit refuses.
std::int64_t ParseContentLength(const std::wstring& text);

// Why a reply's status line cannot be trusted to frame its body: its version
// (HTTP_QUERY_VERSION) is no HTTP/1.x, or its raw header block
// (HTTP_QUERY_RAW_HEADERS_CRLF) has no header field after the status line.
// Empty when it can.
std::wstring StatusLineFault(const std::wstring& version, const std::wstring& rawHeaders);

}  // namespace mf
