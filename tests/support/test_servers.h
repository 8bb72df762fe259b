// The web servers that ctest starts for the suites that need them
// (tests/servers.cmake): Debian's nginx serving build/www/, and the fault
// server of tools/servers/faultserver.py. A suite lists the fixture names
// ("nginx", "faultserver") in its FIXTURES.
#pragma once

#include <string>
#include <string_view>

namespace mf::test {

// Base URL, with a trailing slash, of the server started by the named
// fixture: "nginx" or "faultserver". Empty when it is not running.
std::wstring ServerUrl(const std::wstring& name);

// A path under nginx's document root (build\www); what a test writes there
// is served at ServerUrl(L"nginx") + the same relative path with slashes.
// Tests use names of their own, as suites run in parallel.
std::wstring WwwPath(const std::wstring& relative);

// "<suite>-<test>" of the running test, a name no other test uses.
std::wstring RunningTestName();

// A site of the test's own on nginx: the folder <area>\<name> below the
// document root, empty when made and removed with the object.
class NginxSite {
public:
    explicit NginxSite(const std::wstring& area, const std::wstring& name = RunningTestName());
    ~NginxSite();
    NginxSite(const NginxSite&) = delete;
    NginxSite& operator=(const NginxSite&) = delete;

    // The folder (no `file`) or a file of the site; `file` is relative, with
    // backslashes or slashes.
    [[nodiscard]] std::wstring Path(const std::wstring& file = L"") const;
    // Its address on nginx (the folder's ends with a slash); through one of
    // nginx's locations ("limited/": rate-limited, "gzip-always/": compressed
    // unasked) when `location` names one.
    [[nodiscard]] std::wstring Url(const std::wstring& file = L"", std::wstring_view location = {}) const;
    // Its address in nginx's rate-limited location.
    [[nodiscard]] std::wstring LimitedUrl(const std::wstring& file = L"") const { return Url(file, L"limited/"); }
    // Writes a file of the site (folders made as needed).
    [[nodiscard]] bool Publish(const std::wstring& file, const std::string& bytes) const;

private:
    std::wstring relative_;  // <area>/<name>/, with slashes
};

}  // namespace mf::test
