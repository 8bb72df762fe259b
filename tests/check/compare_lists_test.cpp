// The selection of server records against the installed list.
#include <gtest/gtest.h>

#include <set>

#include "check/compare_lists.h"
#include "engine/targets.h"

namespace mf {
namespace {

struct Rec {
    std::wstring path;
    std::wstring ver;
    std::uint32_t oper = 0;
};

constexpr std::uint32_t kDel = 0x2;
constexpr std::uint32_t kMessage = 0x7F000000;
constexpr std::uint32_t kCommand = 0x7E000000;

std::vector<std::size_t> Select(const std::vector<Rec>& server, const std::vector<Rec>& local, bool checkLost = false,
                                const std::set<std::wstring>& missing = {}) {
    return SelectRecordsToUpdate(server, local, checkLost,
                                 [&](const Rec& r) { return missing.count(r.path) > 0; });
}

using Indices = std::vector<std::size_t>;

TEST(CompareLists, DecidesByPathAndKey) {
    struct Case {
        const char* name;
        Rec server;
        std::vector<Rec> local;
        bool reported;
    } cases[] = {
        {"same key", {L"bin\\app.exe", L"1.2"}, {{L"bin\\app.exe", L"1.2"}}, false},
        {"changed key", {L"bin\\app.exe", L"1.2"}, {{L"bin\\app.exe", L"1.1"}}, true},
        {"path differs by case", {L"bin\\app.exe", L"1.2"}, {{L"BIN\\app.exe", L"1.2"}}, true},
        {"new file", {L"new.dll", L"1"}, {{L"other.dll", L"1"}}, true},
        {"no local list", {L"new.dll", L"1"}, {}, true},
        {"no key", {L"x.dll", L""}, {}, false},
        {"first local record counts", {L"a", L"2"}, {{L"a", L"2"}, {L"a", L"1"}}, false},
        {"first local record counts (changed)", {L"a", L"2"}, {{L"a", L"1"}, {L"a", L"2"}}, true},
        {"unchanged message", {L"hello", L"999", kMessage}, {{L"hello", L"999", kMessage}}, false},
        {"changed message", {L"hello again", L"999", kMessage}, {{L"hello", L"999", kMessage}}, true},
        {"same command", {L"x.exe9-s919k7", L"999", kCommand}, {{L"x.exe9-s919k7", L"999", kCommand}}, false},
        {"command with new key", {L"x.exe9-s919k8", L"999", kCommand}, {{L"x.exe9-s919k7", L"999", kCommand}}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Select({c.server}, c.local), c.reported ? Indices{0} : Indices{}) << c.name;
    }
}

TEST(CompareLists, LostFileTestOnlyForFilesToKeep) {
    const std::vector<Rec> local{{L"a.dll", L"1"}, {L"gone.dll", L"1"}, {L"msg", L"999", kMessage}};
    const std::set<std::wstring> missing{L"gone.dll", L"old.dll", L"nokey.dll", L"msg"};
    struct Case {
        const char* name;
        Rec server;
        bool checkLost;
        bool reported;
    } cases[] = {
        {"current and present", {L"a.dll", L"1"}, true, false},
        {"current but missing", {L"gone.dll", L"1"}, true, true},
        {"missing, test off", {L"gone.dll", L"1"}, false, false},
        {"missing but to delete", {L"old.dll", L"1", kDel}, true, true},  // new entry: reported by the key rule
        {"missing without key", {L"nokey.dll", L""}, true, false},
        {"message is no file", {L"msg", L"999", kMessage}, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Select({c.server}, local, c.checkLost, missing), c.reported ? Indices{0} : Indices{}) << c.name;
    }
    const std::vector<Rec> localOld{{L"old.dll", L"1", kDel}};
    EXPECT_EQ(Select({{L"old.dll", L"1", kDel}}, localOld, true, {L"old.dll"}), Indices{});
}

TEST(CompareLists, KeepsServerOrderAndReportsEachEntryOnce) {
    const std::vector<Rec> server{{L"c", L"1"}, {L"a", L"2"}, {L"b", L"1"}, {L"d", L"1"}};
    const std::vector<Rec> local{{L"a", L"1"}, {L"b", L"1"}};
    EXPECT_EQ(Select(server, local, true, {L"c"}), (Indices{0, 1, 3}));
}

TEST(Targets, ExpandsTheTargetList) {
    const PathResolver resolve = [](const std::wstring& text) {
        std::wstring path = text;
        for (auto& c : path)
            if (c == L'/') c = L'\\';
        if (path.find(L"{sys}") == 0) return L"C:\\windows\\system32" + path.substr(5);
        return path.find(L':') != std::wstring::npos ? path : L"C:\\app\\" + path;
    };
    struct Case {
        const wchar_t* path;
        const wchar_t* desname;
        std::vector<std::wstring> targets;
    } cases[] = {
        {L"bin\\a.dll", L"", {L"C:\\app\\bin\\a.dll"}},
        {L"bin\\a.dll", L"b.dll", {L"C:\\app\\bin\\b.dll"}},
        {L"bin\\a.dll", L"b.dll,c.dll|b.dll", {L"C:\\app\\bin\\b.dll", L"C:\\app\\bin\\c.dll"}},
        {L"bin\\a.dll", L"{sys}\\a.dll;lib/a.dll", {L"C:\\windows\\system32\\a.dll", L"C:\\app\\lib\\a.dll"}},
        {L"bin\\a.dll", L";;", {L"C:\\app\\bin\\a.dll"}},
        {L"a.dll", L"D:\\x\\a.dll", {L"D:\\x\\a.dll"}},
    };
    for (const Case& c : cases) EXPECT_EQ(ExpandTargetsWith(c.path, c.desname, resolve), c.targets) << c.desname;
}

}  // namespace
}  // namespace mf
