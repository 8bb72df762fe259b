// A fresh engine state whose working folder is a new installation folder in
// the test prefix, with its own temporary folder (for the pending files of
// the download phase), desktop and system folder, for the install phase and
// task document tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "list/update_file_info.h"
#include "support/engine_fixture.h"

namespace mf::test {

class InstallFixture : public EngineFixture {
protected:
    InstallFixture();

    // Starts over with a new engine state on the same folders (the next
    // start of the engine).
    void Restart();

    // The common settings of mirefold.ini (a log, the temporary folder, a
    // list address), which a test adds to and writes with Reconfigure.
    [[nodiscard]] EngineIni CommonIni() const;
    // mirefold.ini with the common settings alone.
    void WriteConfig() { Reconfigure(CommonIni()); }

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

    [[nodiscard]] const std::wstring& Root() const { return folder().path(); }
    [[nodiscard]] std::wstring DesktopFolder() const { return InFolder(L"Desktop"); }
    [[nodiscard]] std::wstring SystemFolder() const { return InFolder(L"sys"); }

private:
    void UseTestShellFolders();
};

// The build's helper (build\installtest\<name>).
std::wstring HelperPath(const std::wstring& name);

// What a copy of mirefold-testmark.exe has logged ("<program>.log"), as
// UTF-8 lines.
std::string MarkLog(const std::wstring& program);

}  // namespace mf::test
