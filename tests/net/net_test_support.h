// What the network tests share: the test servers' addresses and generated
// file contents.
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

}  // namespace mf::test
