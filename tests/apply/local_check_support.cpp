#include "local_check_support.h"

#include <algorithm>
#include <future>
#include <thread>

#include "base/messages.h"

namespace mf::test {

namespace {

HWND VisibleMessageBox() { return test::FindMessageBox(::GetCurrentProcessId()); }

void PumpMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

}  // namespace

AnsweredRun RunAnswering(const std::function<bool()>& phase, const std::vector<int>& answers,
                         const std::function<void(std::size_t)>& beforeAnswer) {
    AnsweredRun run;
    const auto start = std::chrono::steady_clock::now();
    std::future<bool> done = std::async(std::launch::async, phase);
    // The box is answered on a thread of its own: closing a box whose owner
    // is a window of this thread needs this thread to answer messages.
    std::future<std::wstring> answering;
    HWND answered = nullptr;
    Question pending;
    for (;;) {
        PumpMessages();
        if (answering.valid() && answering.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready) {
            pending.text = answering.get();
            run.questions.push_back(pending);
        }
        if (!answering.valid()) {
            const HWND box = VisibleMessageBox();
            if (box != nullptr && box != answered) {
                answered = box;
                pending = Question{};
                wchar_t caption[256] = {};
                ::GetWindowTextW(box, caption, 256);
                pending.caption = caption;
                pending.answer =
                    answers.empty() ? IDCANCEL : answers[std::min(run.questions.size(), answers.size() - 1)];
                if (beforeAnswer) beforeAnswer(run.questions.size());
                answering = std::async(std::launch::async, [answer = pending.answer] {
                    return AnswerMessageBox(::GetCurrentProcessId(), answer, std::chrono::seconds(5));
                });
            }
        }
        if (!answering.valid() && done.wait_for(std::chrono::milliseconds(20)) == std::future_status::ready) break;
        if (answering.valid()) ::Sleep(10);
    }
    run.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    run.result = done.get();
    PumpMessages();
    return run;
}

bool DenyingFiles::Exists(const std::wstring& path) {
    tested_.push_back(path);
    return system_.Exists(path);
}

DWORD DenyingFiles::OpenForWriting(const std::wstring& path) {
    return Denied(path) ? ERROR_ACCESS_DENIED : system_.OpenForWriting(path);
}

DWORD DenyingFiles::SetNormalAttributes(const std::wstring& path) {
    return Denied(path) ? ERROR_ACCESS_DENIED : system_.SetNormalAttributes(path);
}

DWORD DenyingFiles::Rename(const std::wstring& from, const std::wstring& to) {
    return Denied(from) ? ERROR_ACCESS_DENIED : system_.Rename(from, to);
}

void DenyingFiles::Delete(const std::wstring& path) {
    if (!Denied(path)) system_.Delete(path);
}

DWORD DenyingFiles::CreateAndDelete(const std::wstring& path) {
    created.push_back(path);
    return Denied(path) ? ERROR_ACCESS_DENIED : system_.CreateAndDelete(path);
}

void LocalCheckFixture::SetUp() {
    EngineFixture::SetUp();
    // Every system this engine runs on has user account control; the tests
    // that need an older one say so.
    AssumeSystemSupportsElevation(true);
}

void LocalCheckFixture::WriteProductConfig(const std::wstring& application) {
    EngineIni ini;
    ini.Set(L"Mirefold", L"Log", L"inst.log").Set(L"APPLICATION", L"Name", L"Question Bank");
    if (!application.empty()) ini.Set(L"APPLICATION", L"Application", application);
    WriteIni(ini);
}

std::string LocalCheckFixture::Log() const {
    return ReadInFolder(L"inst.log");
}

bool LocalCheckFixture::Logged(const std::wstring& text) const {
    return Log().find(Narrow(text)) != std::string::npos;
}

void LocalCheckFixture::AddRecord(const std::wstring& path, const std::wstring& desname, std::int32_t oper) {
    updatefileinfo record;
    record.path = path;
    record.desname = desname;
    record.ver = L"2";
    record.oper = oper;
    state().updateList.Add(record);
}

void LocalCheckFixture::ReadyForLocalCheck() { state().updateList.SetStatus(UpdateStatus::DownloadOk); }

std::shared_ptr<DenyingFiles> LocalCheckFixture::UseDenyingFiles() {
    auto files = std::make_shared<DenyingFiles>();
    UseFileOperations(files);
    return files;
}

}  // namespace mf::test
