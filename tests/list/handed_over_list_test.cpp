#include <gtest/gtest.h>

#include "list/handed_over_list.h"

namespace mf {
namespace {

updatefileinfo Record(const std::wstring& path, const std::wstring& ver, std::int32_t oper = 0, bool md5 = false) {
    updatefileinfo r;
    r.path = path;
    r.ver = ver;
    r.oper = oper;
    r.md5key = md5;
    return r;
}

using Strings = std::vector<std::wstring>;

// A saved record stays only when the trusted list holds one with the same
// key; what stays is the trusted list's record, with its other fields.
TEST(HandedOverList, KeepsOnlyRecordsTheTrustedListHoldsWithTheSameKey) {
    struct Case {
        const char* name;
        updatefileinfo saved;
        bool kept;
    };
    const updatefileinfo trusted = Record(L"data\\bank.db", L"abc", OPER_RUN, true);
    const Case cases[] = {
        {"same key", Record(L"data\\bank.db", L"abc", OPER_RUN, true), true},
        {"path in another letter case", Record(L"DATA\\Bank.db", L"abc", OPER_RUN, true), true},
        {"another version key", Record(L"data\\bank.db", L"abd", OPER_RUN, true), false},
        {"other flags", Record(L"data\\bank.db", L"abc", OPER_RUN | OPER_REG, true), false},
        {"no digest key", Record(L"data\\bank.db", L"abc", OPER_RUN, false), false},
        {"another path", Record(L"data\\other.db", L"abc", OPER_RUN, true), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DownLoadList reference;
        updatefileinfo withTargets = trusted;
        withTargets.desname = L"bank.db";
        reference.Add(withTargets);
        DownLoadList saved;
        updatefileinfo forgedTargets = c.saved;
        forgedTargets.desname = L"C:\\Windows\\system32\\evil.dll";
        saved.Add(forgedTargets);
        const Strings dropped = KeepHandedOverRecords(reference, saved);
        ASSERT_EQ(reference.GetSize(), c.kept ? 1 : 0);
        EXPECT_EQ(dropped.size(), c.kept ? 0U : 1U);
        if (c.kept) {
            EXPECT_EQ(reference[0], withTargets);
        }
    }
}

TEST(HandedOverList, KeepsOnlyCommandsBothHoldAndNoRecordTheSavedListLacks) {
    DownLoadList reference;
    reference.Add(Record(L"a.txt", L"1"));
    reference.Add(Record(L"b.txt", L"2"));
    reference.commands = {L"{app}\\setup.exe\t/q\t1\t", L"{app}\\other.exe\t\t0\t"};
    DownLoadList saved;
    saved.Add(Record(L"b.txt", L"2"));
    saved.Add(Record(L"planted.txt", L"7"));
    saved.commands = {L"cmd.exe\t/c evil\t0\t", L"{app}\\setup.exe\t/q\t1\t"};

    const Strings dropped = KeepHandedOverRecords(reference, saved);
    ASSERT_EQ(reference.GetSize(), 1);
    EXPECT_EQ(reference[0].path, L"b.txt");
    EXPECT_EQ(reference.commands, (Strings{L"{app}\\setup.exe\t/q\t1\t"}));
    EXPECT_EQ(dropped, (Strings{L"file[planted.txt][7][0]", L"command[cmd.exe\t/c evil\t0\t]"}));
}

}  // namespace
}  // namespace mf
