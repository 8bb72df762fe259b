#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "apply/write_probe.h"

namespace mf {
namespace {

// File operations that answer from a script and write down every call.
class ScriptedFiles final : public FileOperations {
public:
    std::set<std::wstring> existing;
    std::deque<DWORD> openResults;      // one per open, success when used up
    DWORD attributesResult = ERROR_SUCCESS;
    DWORD renameAsideResult = ERROR_SUCCESS;
    int renameBackFailures = 0;         // failed renames back before one works (-1: never works)
    DWORD createResult = ERROR_SUCCESS;
    std::vector<std::wstring> calls;

    bool Exists(const std::wstring& path) override { return existing.count(path) != 0; }
    DWORD OpenForWriting(const std::wstring& path) override {
        calls.push_back(L"open " + path);
        if (openResults.empty()) return ERROR_SUCCESS;
        const DWORD result = openResults.front();
        openResults.pop_front();
        return result;
    }
    DWORD SetNormalAttributes(const std::wstring& path) override {
        calls.push_back(L"attributes " + path);
        return attributesResult;
    }
    DWORD Rename(const std::wstring& from, const std::wstring& to) override {
        calls.push_back(L"rename " + from + L" " + to);
        if (to.size() > from.size()) return renameAsideResult;  // aside: path -> path.__test
        if (renameBackFailures == 0) return ERROR_SUCCESS;
        if (renameBackFailures > 0) --renameBackFailures;
        return ERROR_SHARING_VIOLATION;
    }
    void Delete(const std::wstring& path) override { calls.push_back(L"delete " + path); }
    DWORD CreateAndDelete(const std::wstring& path) override {
        calls.push_back(L"create " + path);
        return createResult;
    }
    void Pause(unsigned milliseconds) override { calls.push_back(L"pause " + std::to_wstring(milliseconds)); }
};

constexpr DWORD kOk = ERROR_SUCCESS;
constexpr DWORD kShared = ERROR_SHARING_VIOLATION;
constexpr DWORD kDenied = ERROR_ACCESS_DENIED;

struct ProbeCase {
    const char* name;
    std::wstring path;
    bool exists;
    bool deniedPathsKnown;
    std::deque<DWORD> opens;
    DWORD renameAside;
    int renameBackFailures;
    DWORD create;
    bool writable;
    bool accessDenied;
    std::vector<std::wstring> calls;
};

TEST(WriteProbe, ProgramLeftAsideByAnEarlierProbeGetsItsNameBack) {
    ScriptedFiles files;
    const std::wstring exe = L"C:\\app\\QBank.exe";
    files.existing.insert(exe + L".__test");
    (void)ProbeWritable(exe, false, files);
    ASSERT_FALSE(files.calls.empty());
    EXPECT_EQ(files.calls.front(), L"rename " + exe + L".__test " + exe);
    // Another file of that name is not the engine's to rename.
    ScriptedFiles other;
    other.existing.insert(L"C:\\app\\notes.txt.__test");
    (void)ProbeWritable(L"C:\\app\\notes.txt", false, other);
    EXPECT_EQ(other.calls, std::vector<std::wstring>{L"create C:\\app\\notes.txt"});
}

TEST(WriteProbe, EachAnswerOfTheFileSystem) {
    const std::wstring txt = L"C:\\app\\data.txt";
    const std::wstring exe = L"C:\\app\\QBank.exe";
    const std::wstring dll = L"C:\\app\\core.DLL";
    const ProbeCase cases[] = {
        {"a file that opens is writable", txt, true, false, {kOk}, kOk, 0, kOk, true, false, {L"open " + txt}},
        {"a file held open stays locked after its attributes are cleared", txt, true, false, {kShared, kShared}, kOk,
         0, kOk, false, false, {L"open " + txt, L"attributes " + txt, L"open " + txt}},
        {"a read-only file opens once its attributes are cleared", txt, true, false, {kDenied, kOk}, kOk, 0, kOk, true,
         false, {L"open " + txt, L"attributes " + txt, L"open " + txt}},
        {"access denied leaves a file writable and says so", txt, true, false, {kDenied, kDenied}, kOk, 0, kOk, true,
         true, {L"open " + txt, L"attributes " + txt, L"open " + txt}},
        {"a program file that opens is not renamed", exe, true, false, {kOk}, kOk, 0, kOk, true, false,
         {L"open " + exe}},
        {"a running program can be moved aside and back", exe, true, false, {kShared}, kOk, 0, kOk, true, false,
         {L"open " + exe, L"delete " + exe + L".__test", L"rename " + exe + L" " + exe + L".__test",
          L"rename " + exe + L".__test " + exe}},
        {"a library held without sharing cannot be moved", dll, true, false, {kShared}, kShared, 0, kOk, false, false,
         {L"open " + dll, L"delete " + dll + L".__test", L"rename " + dll + L" " + dll + L".__test"}},
        {"a program file refused with access denied", exe, true, false, {kDenied}, kDenied, 0, kOk, true, true,
         {L"open " + exe, L"delete " + exe + L".__test", L"rename " + exe + L" " + exe + L".__test"}},
        {"renaming back is tried again", exe, true, false, {kShared}, kOk, 2, kOk, true, false,
         {L"open " + exe, L"delete " + exe + L".__test", L"rename " + exe + L" " + exe + L".__test",
          L"rename " + exe + L".__test " + exe, L"pause 100", L"rename " + exe + L".__test " + exe, L"pause 100",
          L"rename " + exe + L".__test " + exe}},
        {"a missing file is created and deleted", txt, false, false, {}, kOk, 0, kOk, true, false,
         {L"create " + txt}},
        {"a missing file in a folder that refuses it", txt, false, false, {}, kOk, 0, kDenied, true, true,
         {L"create " + txt}},
        {"a missing file in a missing folder", txt, false, false, {}, kOk, 0, ERROR_PATH_NOT_FOUND, true, false,
         {L"create " + txt}},
        {"a missing file is not created once denied paths are known", txt, false, true, {}, kOk, 0, kDenied, true,
         false, {}},
    };
    for (const ProbeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFiles files;
        if (c.exists) files.existing.insert(c.path);
        files.openResults = c.opens;
        files.renameAsideResult = c.renameAside;
        files.renameBackFailures = c.renameBackFailures;
        files.createResult = c.create;
        const WriteProbe probe = ProbeWritable(c.path, c.deniedPathsKnown, files);
        EXPECT_EQ(probe.writable, c.writable);
        EXPECT_EQ(probe.accessDenied, c.accessDenied);
        EXPECT_FALSE(probe.restoreFailed);
        EXPECT_EQ(files.calls, c.calls);
    }
}

TEST(WriteProbe, AProgramThatCannotGetItsNameBackIsNotWritable) {
    const std::wstring exe = L"C:\\app\\QBank.exe";
    ScriptedFiles files;
    files.existing.insert(exe);
    files.openResults = {kShared};
    files.renameBackFailures = -1;
    const WriteProbe probe = ProbeWritable(exe, false, files);
    EXPECT_FALSE(probe.writable);
    EXPECT_TRUE(probe.restoreFailed);
    int back = 0;
    int pauses = 0;
    for (const std::wstring& call : files.calls) {
        if (call == L"rename " + exe + L".__test " + exe) ++back;
        if (call == L"pause 100") ++pauses;
    }
    EXPECT_EQ(back, kRestoreAttempts);
    EXPECT_EQ(pauses, kRestoreAttempts - 1);
}

TEST(WriteProbe, ProgramFilesByTheirSuffix) {
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"C:\\a\\b.exe", true},     {L"C:\\a\\B.EXE", true},   {L"C:\\a\\lib.Dll", true},
        {L"C:\\a\\b.exe.txt", false}, {L"C:\\a\\b.exe_", false}, {L"C:\\a\\bexe", false},
        {L".exe", false},             {L"a.exe", true},          {L"C:\\a.dll\\b.ini", false},
    };
    for (const auto& [path, program] : cases) EXPECT_EQ(IsProgramFile(path), program) << std::wstring(path);
}

}  // namespace
}  // namespace mf
