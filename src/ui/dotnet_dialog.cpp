#include "ui/dotnet_dialog.h"

#include <algorithm>
#include <memory>

#include "base/files.h"
#include "base/messages.h"
#include "base/strings.h"
#include "engine/dotnet.h"
#include "engine/message_box.h"
#include "engine/process_state.h"
#include "net/range_downloader.h"
#include "net/thread_value_table.h"
#include "ui/dotnet_installer_start.h"
#include "ui/resource_ids.h"
#include "ui/window_resources.h"

namespace mf::ui {

namespace {

constexpr wchar_t kTextVersion[] = L"2.0";

}  // namespace

// What the download thread works with. The dialog owns it and outlives the
// thread: the thread is stopped and joined before the dialog returns.
struct CDlgDownDotnet::DownloadJob {
    std::wstring address;
    std::wstring target;
    HWND dialog = nullptr;
    CRangeDownloader downloader;
};

namespace {

DWORD WINAPI DownloadEntry(void* parameter) noexcept {
    auto* job = static_cast<CDlgDownDotnet::DownloadJob*>(parameter);
    bool complete = false;
    try {
        complete = job->downloader.Download(job->address, job->target, false, -1, job->dialog) == 1;
        WriteLog((complete ? L"Downloaded " : L"Download failed: ") + job->address);
    } catch (...) {
        complete = false;
    }
    ::SendMessageW(job->dialog, WM_COMMAND, MAKEWPARAM(complete ? msg::kDownloadDone : msg::kDownloadFailed, 0), 0);
    return 0;
}

}  // namespace

DotNetTexts MakeDotNetTexts(const std::wstring& version,
                            const std::function<std::wstring(const std::wstring&)>& translate) {
    const auto text = [&](const wchar_t* english) { return Replaced(translate(english), kTextVersion, version); };
    return DotNetTexts{
        text(L"Install NET Framework 2.0"),
        text(L"Your software will need to install NET Framework 2.0,\nPlease download it and install."),
        text(L"NET Framework 2.0 download is complete,\nPlease install it."),
        text(L"NET Framework 2.0 download failed,\nPlease download again."),
    };
}

std::wstring DotNetLocalFile(const std::wstring& folder, const std::wstring& address, const std::wstring& key) {
    std::wstring path = address.substr(0, address.find_first_of(L"?#"));
    std::replace(path.begin(), path.end(), L'\\', L'/');
    std::wstring name = path.substr(path.rfind(L'/') + 1);
    if (name.empty() || name == L"." || name == L"..") name = L"dotnetfx" + key + L".exe";
    return folder + L"\\" + name;
}

CDlgDownDotnet::CDlgDownDotnet(std::wstring address, std::wstring version)
    : address_(std::move(address)), version_(std::move(version)) {}

CDlgDownDotnet::~CDlgDownDotnet() { EndDownload(); }

INT_PTR CDlgDownDotnet::Run(HWND owner) {
    const INT_PTR result = RunModal(IDD_DOTNET_DOWNLOAD, owner);
    // A download still under way is stopped, and its thread ends before
    // the dialog does: opened again, the dialog never finds a second
    // download writing the same file.
    EndDownload();
    return result;
}

void CDlgDownDotnet::EndDownload() {
    if (!thread_) return;
    // The dialog's window is gone (its messages to it fail at once), or
    // the thread has sent its last one: the wait cannot deadlock.
    ThreadValueTable::Instance().Set(value_kind::kStopFlag, job_->downloader.jobId(), kStopValue);
    ::WaitForSingleObject(thread_.get(), INFINITE);
    thread_.reset();
    job_.reset();
}

INT_PTR CDlgDownDotnet::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: OnInit(); return TRUE;
        // The downloader reports to the dialog; the view follows it.
        case msg::kFileSize:
        case msg::kBlockSize:
        case msg::kPartProgress:
            if (view_.hwnd() != nullptr) ::SendMessageW(view_.hwnd(), message, wParam, lParam);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK: OnOk(); return TRUE;
                case IDCANCEL: ::EndDialog(hwnd(), IDCANCEL); return TRUE;
                case msg::kDownloadDone:
                case msg::kDownloadFailed:
                    // From the download thread: the view takes its end state
                    // first and passes the command back (from the view).
                    if (view_.hwnd() != nullptr && reinterpret_cast<HWND>(lParam) != view_.hwnd())
                        ::SendMessageW(view_.hwnd(), WM_COMMAND, wParam, 0);
                    else
                        OnDownloadEnded(LOWORD(wParam) == msg::kDownloadDone);
                    return TRUE;
                default: return FALSE;
            }
        default: return FALSE;
    }
}

void CDlgDownDotnet::OnInit() {
    ProcessState& state = Process();
    const DotNetTexts texts = MakeDotNetTexts(version_, [](const std::wstring& english) { return Translate(english); });
    std::wstring title = ReadConfig(L"APPLICATION", L"Name");
    if (title.empty()) title = texts.title;
    state.language.TranslateWindow(hwnd(), L"MAIN");
    ::SetWindowTextW(hwnd(), title.c_str());

    const std::wstring folder = state.paths.ListCacheBase();
    CreateFolderTree(folder);
    localFile_ = DotNetLocalFile(folder, address_, DotNetVersionKey(version_));

    pending_ = LoadBitmapResource(IDB_BLOCK_PENDING);
    done_ = LoadBitmapResource(IDB_BLOCK_DONE);
    if (view_.CreateInPlaceOf(hwnd(), IDC_DOTNET_VIEW)) {
        view_.SetBitmaps(static_cast<HBITMAP>(pending_.get()), static_cast<HBITMAP>(done_.get()));
        view_.SetTexts(texts.title, texts.message, texts.complete, texts.failed);
        view_.SetWord(-1);
    }
    WriteLog(L"Offer .NET Framework " + version_ + L" from " + address_ + L" into " + localFile_);
}

void CDlgDownDotnet::OnOk() {
    if (state_ != State::Downloaded) {
        StartDownload();
        return;
    }
    // A file that fails its check is gone: the dialog offers the download
    // again. Declined elevation starts nothing; the dialog closes all the
    // same.
    if (StartCheckedDotNetInstaller(hwnd(), localFile_, DotNetVersionKey(version_)) == InstallerStart::Refused) {
        OnDownloadEnded(false);
        ReportRefusedInstaller(hwnd());
        return;
    }
    ::EndDialog(hwnd(), IDOK);
}

void CDlgDownDotnet::StartDownload() {
    // One download at a time: a failed one has ended before the button
    // came back.
    EndDownload();
    const HWND button = ::GetDlgItem(hwnd(), IDOK);
    ::EnableWindow(button, FALSE);
    job_ = std::make_unique<DownloadJob>();
    job_->address = address_;
    job_->target = localFile_;
    job_->dialog = hwnd();
    thread_.reset(::CreateThread(nullptr, 0, DownloadEntry, job_.get(), 0, nullptr));
    if (!thread_) {
        job_.reset();
        WriteLog(L"Cannot start the download of " + address_);
        OnDownloadEnded(false);
    }
}

void CDlgDownDotnet::OnDownloadEnded(bool complete) {
    state_ = complete ? State::Downloaded : State::Failed;
    const HWND button = ::GetDlgItem(hwnd(), IDOK);
    ::SetWindowTextW(button, Translate(complete ? L"Install" : L"Download").c_str());
    ::EnableWindow(button, TRUE);
}

void ShowDotNetDownloadPrompt(HWND owner, const std::wstring& version) {
    const std::wstring address = DotNetDownloadAddress(DotNetVersionKey(version));
    // A run with nobody to answer gets the box's rule: logged, not shown.
    if (address.empty() || !SomebodyCanAnswer(owner)) {
        ShowMessage(owner, DotNetPromptMessage(version), MB_OK | MB_ICONWARNING);
        return;
    }
    CDlgDownDotnet dialog(address, DotNetVersionText(DotNetVersionKey(version)));
    if (dialog.Run(owner) == -1) {
        // No window could be made (no desktop): say what is missing instead.
        WriteLog(L"The .NET Framework download dialog could not open");
        ShowMessage(owner, DotNetPromptMessage(version), MB_OK | MB_ICONWARNING);
    }
}

}  // namespace mf::ui
