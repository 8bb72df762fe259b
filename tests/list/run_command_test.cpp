#include <gtest/gtest.h>

#include "list/run_command.h"

namespace mf {
namespace {

TEST(RunCommand, JoinedFormOfPlainFields) {
    EXPECT_EQ(JoinRunCommand({L"x.exe", L"-s", L"1", L"k7"}), L"x.exe9-s919k7");
    EXPECT_EQ(JoinRunCommand({L"", L"", L"", L""}), L"999");
}

TEST(RunCommand, FieldsWithTheDigitNineComeBackExactly) {
    const RunCommandFields cases[] = {
        {L"C:\\Tools\\7zip9\\setup.exe", L"/S /D=C:\\99", L"1", L"k9"},
        {L"9.exe", L"9", L"9", L"9"},
        {L"x.exe", L"-s", L"1", L"k7"},
        {L"", L"", L"", L""},
        {L"a b.exe", L"--name \"x y\"", L"yes", L""},
    };
    for (const RunCommandFields& fields : cases) {
        const std::wstring joined = JoinRunCommand(fields);
        EXPECT_EQ(SplitRunCommand(joined), fields) << joined;
    }
}

TEST(RunCommand, DifferentCommandsKeepDifferentIdentities) {
    // Before, both joined to "a999k": the nines were separators and data alike.
    EXPECT_NE(JoinRunCommand({L"a9", L"", L"", L"k"}), JoinRunCommand({L"a", L"9", L"", L"k"}));
    // A nine of a field is escaped (0x1F); a bare nine separates.
    EXPECT_EQ(JoinRunCommand({L"a9", L"", L"", L"k"}), L"a\x1F" L"999k");
    EXPECT_EQ(JoinRunCommand({L"a", L"9", L"", L"k"}), L"a9\x1F" L"99k");
}

TEST(RunCommand, ShortTextsLeaveMissingFieldsEmpty) {
    EXPECT_EQ(SplitRunCommand(L"tool.exe"), (RunCommandFields{L"tool.exe", L"", L"", L""}));
    EXPECT_EQ(SplitRunCommand(L"tool.exe9-q"), (RunCommandFields{L"tool.exe", L"-q", L"", L""}));
    EXPECT_EQ(SplitRunCommand(L"a9b9c9d9e"), (RunCommandFields{L"a", L"b", L"c", L"d9e"}));
}

}  // namespace
}  // namespace mf
