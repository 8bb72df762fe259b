// Runs the real engine: a copy of mirefold.exe branded with a test
// configuration, started as its own process under Wine.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "support/engine_ini.h"
#include "support/test_servers.h"
#include "support/test_support.h"

namespace mf::test {

// Brands bin\mirefold.exe with the configuration text into `exePath`.
// Returns false (with the tool's exit code in the failure message) when the
// branding tool fails.
bool BrandEngine(const std::string& configText, const std::wstring& exePath);
bool BrandEngine(const EngineIni& config, const std::wstring& exePath);

// The working folder the engine picks for a product name (the \vdzq\ form).
std::wstring ProductFolder(const std::wstring& name);

// The product of an end-to-end test: its name ("E2E_" and the running
// test's name), its installation folder and its site on nginx under `area`.
// Both start empty and go again at the end.
class ProductSite {
public:
    explicit ProductSite(const std::wstring& area);
    ~ProductSite();
    ProductSite(const ProductSite&) = delete;
    ProductSite& operator=(const ProductSite&) = delete;

    [[nodiscard]] const std::wstring& name() const { return name_; }
    [[nodiscard]] std::wstring Folder() const { return ProductFolder(name_); }
    // The site's folder under nginx's document root (no final backslash).
    [[nodiscard]] std::wstring Root() const;
    // Writes a file of the site; `file` is relative, with backslashes.
    [[nodiscard]] bool Publish(const std::wstring& file, const std::string& bytes) const;
    // The file's address on nginx; through one of its locations
    // ("limited/": rate-limited, "gzip-always/": compressed unasked) when
    // `location` names one.
    [[nodiscard]] std::string Url(const std::wstring& file, std::wstring_view location = {}) const;
    // An address of the product at a loopback port nothing listens on.
    [[nodiscard]] std::string UnreachableUrl(const std::wstring& file) const;

private:
    std::wstring name_;
    NginxSite site_;
};

struct EngineRun {
    long long exitCode = -1;
    std::string log;  // the product folder's inst.log, when the test's config logs there
};

// Starts the engine with the arguments and waits for it to end.
EngineRun RunEngine(const std::wstring& exePath, const std::wstring& arguments, const std::wstring& productName,
                    std::chrono::milliseconds timeout = std::chrono::seconds(60));

}  // namespace mf::test
