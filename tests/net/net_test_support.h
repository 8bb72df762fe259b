// What the network tests share: the test servers' addresses, generated file
// contents and files served by nginx.
#pragma once

#include <cstdint>
#include <string>

#include "support/engine_fixture.h"
#include "support/recording_window.h"
#include "support/test_servers.h"
#include "support/test_support.h"

namespace mf::test {

// Bytes [start, end) of the fault server's generated files (i % 251).
std::string PatternBytes(std::int64_t start, std::int64_t end);
// Deterministic pseudo-random bytes.
std::string RandomBytes(std::size_t count, std::uint32_t seed);

// The fault server's address for `rest` (path and query).
std::wstring FaultUrl(const std::wstring& rest);
// How many requests the fault server has counted under `tag` (-1: no answer).
int FaultRequestCount(const std::wstring& tag);

// One file on nginx, on a site of its own (net/<test>-<name>/<name>), gone
// with the object.
class ServedFile {
public:
    ServedFile(const std::wstring& name, const std::string& bytes);
    [[nodiscard]] const std::wstring& url() const { return url_; }

private:
    NginxSite site_;
    std::wstring url_;
};

}  // namespace mf::test
