#include "net_test_support.h"

#include <gtest/gtest.h>

#include "base/strings.h"
#include "net/internet.h"

namespace mf::test {

std::wstring FaultUrl(const std::wstring& rest) { return ServerUrl(L"faultserver") + rest; }

int FaultRequestCount(const std::wstring& tag) {
    MemorySink reply;
    if (!HttpGetToSink(FaultUrl(L"count?tag=" + tag), reply)) return -1;
    return static_cast<int>(ParseLong(Widen(reply.data(), CodePage::Utf8)));
}

std::string PatternBytes(std::int64_t start, std::int64_t end) {
    std::string out;
    out.reserve(static_cast<std::size_t>(end - start));
    for (std::int64_t i = start; i < end; ++i) out.push_back(static_cast<char>(i % 251));
    return out;
}

std::string RandomBytes(std::size_t count, std::uint32_t seed) {
    std::string out(count, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (char& c : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return out;
}

ServedFile::ServedFile(const std::wstring& name, const std::string& bytes)
    : site_(L"net", RunningTestName() + L"-" + name), url_(site_.Url(name)) {
    EXPECT_TRUE(site_.Publish(name, bytes)) << Narrow(name);
}

}  // namespace mf::test
