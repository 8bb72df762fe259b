// A fresh engine state in a temporary installation folder, with the web
// server (nginx) and the digest service of the test run, for the update
// check tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/engine_fixture.h"
#include "support/test_servers.h"

namespace mf::test {

class CheckFixture : public EngineFixture {
protected:
    CheckFixture();

    // Starts over with a new engine state on the same folders (a second run
    // of the engine).
    void Restart();

    // The common settings of mirefold.ini (a log, the temporary folder, no
    // window while checking), which a test adds to and writes with Reconfigure.
    [[nodiscard]] EngineIni CommonIni() const;

    // A file of this test's site on nginx, and its URL.
    void Publish(const std::wstring& name, const std::string& text) { ASSERT_TRUE(site_.Publish(name, text)); }
    [[nodiscard]] std::wstring SiteUrl(const std::wstring& name) const { return site_.Url(name); }

    // A file in the installation folder.
    void Install(const std::wstring& relative, const std::string& text = "x");
    [[nodiscard]] std::wstring InstallPath(const std::wstring& relative) const;

    [[nodiscard]] std::vector<std::wstring> UpdatePaths() const;
    [[nodiscard]] std::wstring LogText() const;
    [[nodiscard]] std::vector<std::wstring> Relaunches() const { return relaunches_; }

    NginxSite site_{L"check"};
    std::wstring digest_;  // the digest service's address
    std::vector<std::wstring> relaunches_;

private:
    void CatchRelaunches();
};

// An update list document with the given inner XML.
std::string ListXml(const std::string& entries);

}  // namespace mf::test
