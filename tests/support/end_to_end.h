// The toolkit of the end-to-end tests: a product with its site on nginx, a
// copy of the engine branded for it, releases published there, and runs of
// the engine (silent, followed by the sample host, or answered as a person
// answers its message box).
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>

#include "support/engine_ini.h"
#include "support/engine_runner.h"
#include "support/test_host.h"
#include "support/test_support.h"

namespace mf::test {

// An update list (UTF-8) around the given <file>/<run>/... entries.
std::string UpdateList(const std::string& entries = "");

// A release: relative path (backslashes) → content.
using Release = std::map<std::wstring, std::string>;

// A main program (main.cmd) that writes the file `marker` when it is started.
std::string MarkingMainProgram(const std::wstring& marker);
// A small release: that main program and two banks of data, one of them in
// a subfolder.
Release SmallRelease(const std::wstring& marker);

// The update list of a release: each file keyed by its size, unless `keys`
// gives it another key.
std::string ReleaseList(const Release& release, const std::map<std::wstring, std::string>& keys = {});

// The configuration most end-to-end tests brand, which a test then adjusts:
// the log in inst.log, no check window, the site's product with main.cmd as
// its main program, and the site's update.xml and main.xml as its lists.
EngineIni ProductIni(const ProductSite& site);
// The product without a list server (its list at a port nothing listens
// on, no main list) in the mode that only empties the list cache
// ("emptytemp"), the check window left as configured: for start-up and the
// runs that need no server.
EngineIni OfflineIni(const ProductSite& site);

// What a run that a person answered showed and how it ended.
struct AnsweredRun {
    std::wstring text;  // the message box's text; empty when none came
    long long exitCode = -1;
    bool ended = false;  // the engine ended in time (else it was killed)
};

// A fixture of an end-to-end test: the product's site under `area` of
// nginx's document root, and the engine branded into a scratch folder.
class EndToEndTest : public ::testing::Test {
protected:
    explicit EndToEndTest(const std::wstring& area) : site_(area) {}

    [[nodiscard]] const std::wstring& name() const { return site_.name(); }
    // The product's installation folder (with a final backslash).
    [[nodiscard]] std::wstring Folder() const { return site_.Folder(); }
    [[nodiscard]] std::string Url(const std::wstring& file, std::wstring_view location = {}) const {
        return site_.Url(file, location);
    }
    // The product folder's inst.log.
    [[nodiscard]] std::string Log() const;

    void Publish(const std::wstring& file, const std::string& bytes) const;
    // The release's files and its list as update.xml, with an empty main.xml.
    void PublishRelease(const Release& release, const std::map<std::wstring, std::string>& keys = {}) const;
    // Every file of the release is installed, byte for byte.
    void ExpectInstalled(const Release& release) const;
    // The main program of SmallRelease(marker_) left its marker (within 20 s).
    [[nodiscard]] bool MainProgramStarted() const;

    [[nodiscard]] EngineIni ProductIni() const { return test::ProductIni(site_); }
    [[nodiscard]] EngineIni OfflineIni() const { return test::OfflineIni(site_); }
    // Brands the engine at exe_.
    void Brand(const EngineIni& config) const;

    // Runs the engine to its end.
    EngineRun Run(const std::wstring& arguments, std::chrono::milliseconds timeout = std::chrono::seconds(60)) const;
    // Runs the engine in `mode` for the host, which follows the run; `after`
    // goes after the host's window on the command line.
    EngineRun RunFor(const TestHost& host, const std::wstring& mode, const std::wstring& after = L"",
                     std::chrono::milliseconds timeout = std::chrono::seconds(60)) const;
    [[nodiscard]] ChildProcess Start(const std::wstring& arguments) const;
    // Starts the engine, answers its message box with `button` (none when
    // unset) and waits for the end.
    AnsweredRun RunAnswering(const std::wstring& arguments, std::optional<int> button,
                             std::chrono::milliseconds boxTimeout = std::chrono::seconds(20),
                             std::chrono::milliseconds runTimeout = std::chrono::seconds(60)) const;

    TempFolder folder_;
    ProductSite site_;
    std::wstring exe_ = folder_ / L"mirefold.exe";
    std::wstring marker_ = folder_ / L"main-started.txt";
};

}  // namespace mf::test
