// A fresh engine state in a temporary installation folder, with the web
// server (nginx) and the digest service of the test run, for the update
// check tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/engine_fixture.h"

namespace mf::test {

// Base URL of a server fixture ("http://127.0.0.1:port/").
std::wstring FixtureUrl(const std::wstring& name);

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
    void Publish(const std::wstring& name, const std::string& text);
    [[nodiscard]] std::wstring SiteUrl(const std::wstring& name) const;
    [[nodiscard]] std::wstring SitePath(const std::wstring& name) const;

    // A file in the installation folder.
    void Install(const std::wstring& relative, const std::string& text = "x");
    [[nodiscard]] std::wstring InstallPath(const std::wstring& relative) const;

    [[nodiscard]] std::vector<std::wstring> UpdatePaths() const;
    [[nodiscard]] std::wstring LogText() const;
    [[nodiscard]] std::vector<std::wstring> Relaunches() const { return relaunches_; }

    std::wstring nginx_;
    std::wstring digest_;
    std::wstring site_;  // this test's folder below nginx's root, with "/"
    std::vector<std::wstring> relaunches_;

private:
    void CatchRelaunches();
};

// An update list document with the given inner XML.
std::string ListXml(const std::string& entries);

}  // namespace mf::test
