// A fresh engine state whose working folder is a new installation folder in
// the test prefix, with its own temporary folder (for the pending files of
// the download phase), desktop and system folder, for the install phase and
// task document tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/process_state.h"
#include "list/update_file_info.h"
#include "support/test_support.h"

namespace mf::test {

class InstallFixture : public ::testing::Test {
protected:
    InstallFixture();
    ~InstallFixture() override;

    // Starts over with a new engine state on the same folders (the next
    // start of the engine).
    void Restart();

    // mirefold.ini: the common settings plus lines of section Mirefold and
    // of section APPLICATION.
    void WriteConfig(const std::wstring& mirefoldLines = L"", const std::wstring& applicationLines = L"");

    // A path in the installation folder (relative), and a file there.
    [[nodiscard]] std::wstring Installed(const std::wstring& relative) const;
    void Install(const std::wstring& relative, const std::string& bytes);
    // The temporary download folder, and a pending file in it as the
    // download phase leaves it (path + "_").
    [[nodiscard]] std::wstring DownloadFolder() const;
    void Pending(const std::wstring& relative, const std::string& bytes);
    // Appends a file record to the update list.
    updatefileinfo& AddRecord(const std::wstring& path, const std::wstring& desname = L"", std::int32_t oper = 0);

    // The install phase, from status 9; expects status 12 afterwards.
    void RunPhase();

    [[nodiscard]] std::wstring LogText() const;
    // A helper program or library of the build (build\installtest), copied
    // into the installation folder under a name.
    void InstallHelper(const std::wstring& builtName, const std::wstring& relative);

    [[nodiscard]] const std::wstring& Root() const { return folder_.path(); }
    [[nodiscard]] std::wstring DesktopFolder() const { return folder_ / L"Desktop"; }
    [[nodiscard]] std::wstring SystemFolder() const { return folder_ / L"sys"; }
    ProcessState& state() { return *state_; }

private:
    TempFolder folder_;
    std::wstring config_;
    std::unique_ptr<ProcessState> state_;
    std::unique_ptr<ScopedProcessState> use_;
};

// The build's helper (build\installtest\<name>).
std::wstring HelperPath(const std::wstring& name);

// What a copy of mirefold-testmark.exe has logged ("<program>.log"), as
// UTF-8 lines.
std::string MarkLog(const std::wstring& program);

}  // namespace mf::test
