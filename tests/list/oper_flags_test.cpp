#include <gtest/gtest.h>

#include "list/oper_flags.h"
#include "list/update_file_info.h"

namespace mf {
namespace {

TEST(OperFlags, LeadingNumberAndKeywords) {
    struct Case {
        const wchar_t* text;
        std::int32_t flags;
    };
    const Case cases[] = {
        {L"", 0},          {L"3", 0x3},         {L"Delete", OPER_DEL}, {L"runreg", OPER_RUN | OPER_REG},
        {L"12boot", 0xC},  {L"  16", 0x10},      {L"EXE", OPER_RUN},     {L"REBOOT", OPER_BOOT},
        {L"reg32", OPER_REG}, {L"1 del", OPER_RUN | OPER_DEL}, {L"x", 0}, {L"regsvr boot", OPER_REG | OPER_BOOT},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseOperFlags(c.text), c.flags) << c.text;
}

TEST(OperFlags, MarkerValuesAreWholeValues) {
    EXPECT_EQ(OPER_DESCRIPTION, 0x7F000000);
    EXPECT_EQ(OPER_COMMAND, 0x7E000000);
    updatefileinfo record;
    record.oper = OPER_DESCRIPTION | OPER_RUN;  // not the marker: a file
    EXPECT_TRUE(IsFileRecord(record));
    record.oper = OPER_COMMAND;
    EXPECT_FALSE(IsFileRecord(record));
}

}  // namespace
}  // namespace mf
