// The web servers that ctest starts for the suites that need them
// (tests/servers.cmake): Debian's nginx serving build/www/, and the fault
// server of tools/servers/faultserver.py. A suite lists the fixture names
// ("nginx", "faultserver") in its FIXTURES.
#pragma once

#include <string>

namespace mf::test {

// Base URL, with a trailing slash, of the server started by the named
// fixture: "nginx" or "faultserver". Empty when it is not running.
std::wstring ServerUrl(const std::wstring& name);

// A path under nginx's document root (build\www); what a test writes there
// is served at ServerUrl(L"nginx") + the same relative path with slashes.
// Tests use names of their own, as suites run in parallel.
std::wstring WwwPath(const std::wstring& relative);

}  // namespace mf::test
