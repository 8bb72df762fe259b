// The .NET Framework download dialog: it offers the framework's installer,
// downloads it on a thread of its own with the ranged downloader while a
// block view shows the parts arrive, and starts the installer elevated.
// The button reads "Download" until the file is complete, "Install" then,
// and "Download" again after a failure.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "base/handles.h"
#include "gui/block_view.h"
#include "gui/window.h"

namespace mf::ui {

// The dialog's four texts, translated and with the version put in.
struct DotNetTexts {
    std::wstring title;     // also the window title when the product has no name
    std::wstring message;
    std::wstring complete;
    std::wstring failed;
};
[[nodiscard]] DotNetTexts MakeDotNetTexts(const std::wstring& version,
                                          const std::function<std::wstring(const std::wstring&)>& translate);

// Where the installer is saved: `folder`, a backslash and the last part of
// the address ("/" or "\" separated, without a query); the key's installer
// name when the address ends in a separator.
[[nodiscard]] std::wstring DotNetLocalFile(const std::wstring& folder, const std::wstring& address,
                                           const std::wstring& key);

class CDlgDownDotnet : public gui::Dialog {
public:
    enum class State { NotDownloaded = 0, Downloaded = 1, Failed = 2 };

    struct DownloadJob;

    // `version` is the version text ("2.0"), `address` the installer's.
    CDlgDownDotnet(std::wstring address, std::wstring version);
    ~CDlgDownDotnet() override;
    // Modal; IDOK once the installer was started, IDCANCEL otherwise. The
    // download has ended (stopped when it was still under way) when it
    // returns.
    INT_PTR Run(HWND owner);

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnInit();
    void OnOk();
    void StartDownload();
    void OnDownloadEnded(bool complete);
    void EndDownload();

    std::wstring address_;
    std::wstring localFile_;
    std::wstring version_;
    State state_ = State::NotDownloaded;
    gui::CMyDownloadBlockView view_;
    UniqueGdiObject pending_;
    UniqueGdiObject done_;
    std::unique_ptr<DownloadJob> job_;
    UniqueHandle thread_;
};

// The prompt for a missing framework: the download dialog when the version
// has an address, else the warning box (caption: the product's name).
void ShowDotNetDownloadPrompt(HWND owner, const std::wstring& version);

}  // namespace mf::ui
