// Shared by the local check tests: a process state with a product
// configuration, records to check, and file operations that refuse chosen
// paths with access denied.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "apply/local_check.h"
#include "base/strings.h"
#include "engine/process_state.h"
#include "support/engine_fixture.h"
#include "support/recording_window.h"

namespace mf::test {

// The system's file operations, except that the chosen paths are refused
// with access denied; every path tested is written down.
class DenyingFiles final : public FileOperations {
public:
    void Deny(const std::wstring& path) { denied_.insert(ToLower(path)); }
    [[nodiscard]] const std::vector<std::wstring>& Tested() const { return tested_; }

    bool Exists(const std::wstring& path) override;
    DWORD OpenForWriting(const std::wstring& path) override;
    DWORD SetNormalAttributes(const std::wstring& path) override;
    DWORD Rename(const std::wstring& from, const std::wstring& to) override;
    void Delete(const std::wstring& path) override;
    DWORD CreateAndDelete(const std::wstring& path) override;
    void Pause(unsigned milliseconds) override { system_.Pause(milliseconds); }

    std::vector<std::wstring> created;  // paths CreateAndDelete was asked for

private:
    [[nodiscard]] bool Denied(const std::wstring& path) const { return denied_.count(ToLower(path)) != 0; }
    SystemFileOperations system_;
    std::set<std::wstring> denied_;
    std::vector<std::wstring> tested_;
};

// A message box the phase showed, and how it was answered.
struct Question {
    std::wstring caption;
    std::wstring text;
    int answer = 0;
};

struct AnsweredRun {
    bool result = false;
    std::vector<Question> questions;
    std::chrono::milliseconds took{};
};

// Runs `phase` on a thread of its own while this thread keeps its own
// windows answering and answers every message box of this process the way
// a person would: with the next of `answers` (the last one repeats), after
// calling `beforeAnswer` with the question's index.
AnsweredRun RunAnswering(const std::function<bool()>& phase, const std::vector<int>& answers,
                         const std::function<void(std::size_t)>& beforeAnswer = {});

class LocalCheckFixture : public EngineFixture {
protected:
    void SetUp() override;

    // mirefold.ini with a log, the product name and, unless empty, the main
    // program.
    void WriteProductConfig(const std::wstring& application);
    [[nodiscard]] std::string Log() const;
    [[nodiscard]] bool Logged(const std::wstring& text) const;
    void AddRecord(const std::wstring& path, const std::wstring& desname = L"", std::int32_t oper = 0);
    // Status 6, where the local check starts.
    void ReadyForLocalCheck();
    [[nodiscard]] UpdateStatus Status() { return state().updateList.Status(); }
    std::shared_ptr<DenyingFiles> UseDenyingFiles();
};

}  // namespace mf::test
