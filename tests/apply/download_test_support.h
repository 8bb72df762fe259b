// What the download phase's tests share: a copy of the product tree served
// by nginx under a folder of the test's own, the lines nginx logged for it,
// and a fresh engine to download with.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/engine_fixture.h"
#include "support/recording_window.h"
#include "support/test_servers.h"

namespace mf::test {

// The fixture's product tree (build/www/download-tree) copied to
// build/www/dl/<name>, removed with the object. Tests run in parallel, so
// each serves its own copy and finds its own requests in the access log.
class ServedTree {
public:
    explicit ServedTree(const std::wstring& name);
    ServedTree(const ServedTree&) = delete;
    ServedTree& operator=(const ServedTree&) = delete;

    // The base URL of the copy, without a trailing slash (a list's base).
    [[nodiscard]] const std::wstring& baseUrl() const { return baseUrl_; }
    // The served file for a relative path (backslashes).
    [[nodiscard]] std::wstring File(const std::wstring& relative) const { return site_.Path(relative); }
    [[nodiscard]] std::wstring Source(const std::wstring& relative) const;
    // Requests nginx logged for this copy, in order: "<status> <path below
    // the copy>", for example "404 bin/app.exe._.zip". Waits up to a second
    // for at least `atLeast` lines (nginx logs after it has answered).
    [[nodiscard]] std::vector<std::wstring> Requests(std::size_t atLeast = 0) const;

private:
    std::wstring name_;
    NginxSite site_;
    std::wstring baseUrl_;
};

// A fresh engine whose download folder lies in the test's own folder, for
// the download phase; the phase's threads have ended before the state goes.
class DownloadFixture : public EngineFixture {
protected:
    DownloadFixture();
    void TearDown() override;

    // The list's files come from the tree.
    void Use(const ServedTree& tree);
    // Appends a record of version 1; its index.
    int Add(const std::wstring& path, std::int32_t oper = 0);
    [[nodiscard]] std::wstring LogText() const;
    [[nodiscard]] UpdateStatus Status() const { return state().updateList.Status(); }
};

}  // namespace mf::test
