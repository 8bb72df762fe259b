#include <gtest/gtest.h>

#include <regex>

#include "base/strings.h"
#include "engine/machine_id.h"
#include "support/engine_fixture.h"

namespace mf {
namespace {

bool IsIdentifierText(const std::wstring& identifier) {
    return std::regex_match(Narrow(identifier), std::regex("[0-9A-Z]{9}"));
}

TEST(MachineIdentifier, ComposedFromTheLastCharactersOfEachSource) {
    struct Case {
        std::optional<std::wstring> processor;
        const wchar_t* mac;
        const wchar_t* disk;
        const wchar_t* identifier;
    };
    const Case cases[] = {
        {L"BFEBFBFF000306C3", L"00:1A:2B:3C:4D:5E", L"S1234567", L"6C3567D5E"},
        // Missing disk serial and address: three characters of the processor
        // id, counted 6 from its end, stand in for each.
        {L"BFEBFBFF000306C3", L"", L"", L"6C3030030"},
        // Lower-case letters are no identifier characters.
        {L"BFEBFBFF000306C3", L"00:1A:2B:3C:4D:5E", L"abcdef", L"6C3SSSD5E"},
        // Short values are padded: the processor id to nine, the others to three.
        {L"1A2", L"F", L"7C", L"1A207C00F"},
        // An unreadable processor id and nothing else: no hardware data.
        {std::nullopt, L"", L"", L"000000000"},
        {std::nullopt, L"", L"XY12", L"000Y12000"},
        // Spaces and punctuation become "S".
        {L"BFEBFBFF000306C3", L"00-1A", L"  WD 9", L"6C3DS9S1A"},
    };
    for (const Case& c : cases) {
        const MachineSources sources = SourcesFromWmiValues(c.processor, c.mac, c.disk);
        EXPECT_EQ(ComposeMachineIdentifier(sources), c.identifier) << Narrow(c.disk) << " / " << Narrow(c.mac);
    }
}

TEST(MachineIdentifier, NoHardwareDataFallsBackToTheDevicesAndAnUnusableWmiLeavesItEmpty) {
    int deviceReads = 0;
    auto devices = [&] {
        ++deviceReads;
        return MachineSources{L"BFEBFBFF000306C3", L"S1234567", L"001A2B3C4D5E"};
    };
    using First = std::optional<MachineSources>;

    // WMI answers without data: the second method decides.
    EXPECT_EQ(MachineIdentifierFrom([] { return First(SourcesFromWmiValues(std::nullopt, L"", L"")); }, devices),
              L"6C3567D5E");
    EXPECT_EQ(deviceReads, 1);

    // WMI answers: the devices are not read.
    EXPECT_EQ(MachineIdentifierFrom([] { return First(MachineSources{L"0000000001A2", L"", L""}); }, devices),
              L"1A2000000");
    EXPECT_EQ(deviceReads, 1);

    // WMI unusable: no identifier, and no second method either.
    EXPECT_EQ(MachineIdentifierFrom([] { return First(); }, devices), L"");
    EXPECT_EQ(deviceReads, 1);

    // The second method's result is kept whatever it is.
    EXPECT_EQ(MachineIdentifierFrom([] { return First(MachineSources{L"0", L"", L""}); },
                                    [] { return MachineSources{}; }),
              L"000000000");
}

TEST(MachineIdentifier, DoubleByteCharactersCountAsTwoBytes) {
    // In the Chinese code page of the product's users a CJK character is two
    // ANSI bytes; on other code pages it is "?" - either way no identifier
    // character, and the identifier stays nine characters long.
    const std::wstring identifier = ComposeMachineIdentifier({L"BFEBFBFF000306C3", L"12\u4E2D", L"ABC"});
    EXPECT_EQ(identifier.size(), 9u);
    EXPECT_TRUE(identifier == L"6C312SSAB" || identifier == L"6C312SABC") << Narrow(identifier);
}

// The first method for real: Wine's WMI service answers these queries.
TEST(MachineIdentifier, WmiAnswersUnderThisSystem) {
    const std::optional<MachineSources> sources = ReadWmiSources();
    ASSERT_TRUE(sources.has_value());
    EXPECT_GE(sources->processor.size(), 9u) << Narrow(sources->processor);
    EXPECT_NE(sources->processor, kNoHardwareIdentifier);
    EXPECT_EQ(sources->adapter.find(L':'), std::wstring::npos);
    EXPECT_TRUE(IsIdentifierText(ComposeMachineIdentifier(*sources)));
}

TEST(MachineIdentifier, DevicesGiveTheProcessorSignature) {
    const MachineSources sources = ReadDeviceSources();
    EXPECT_TRUE(std::regex_match(Narrow(sources.processor), std::regex("[0-9A-F]{16}"))) << Narrow(sources.processor);
    EXPECT_TRUE(IsIdentifierText(ComposeMachineIdentifier(sources)));
}

class MachineIdentifierState : public test::EngineFixture {};

TEST_F(MachineIdentifierState, ComputedOnceAndCarriedByThePracticeCenterAddress) {
    WriteIni(test::EngineIni().Set(L"APPLICATION", L"PlanId", 77).Set(L"APPLICATION", L"AgentName", L"vd&x"));
    EXPECT_EQ(MachineIdentifier(), L"");
    ComputeMachineIdentifier();
    const std::wstring identifier = MachineIdentifier();
    EXPECT_TRUE(IsIdentifierText(identifier)) << Narrow(identifier);
    EXPECT_EQ(MachineIdentifier(), identifier);

    // The test program's folder has no companion files above it.
    EXPECT_EQ(PracticeCenterAddress(),
              L"http://practice.mirefold.net/PracticeCenter/ExeIndex/Index?TQuestionPlanID=77&code=" + identifier +
                  L"&groupName=vd&x&isInContainer=true");
    EXPECT_EQ(PracticeCenterAddressWith(L"http://pc.test", L"1", L"ABC", L"g", {L"42", L"7"}),
              L"http://pc.test/PracticeCenter/ExeIndex/Index?TQuestionPlanID=1&code=ABC&groupName=g"
              L"&isInContainer=true&PackageId=42&PackageId=7");

    // The server is a setting; its trailing slash is not doubled.
    state().config.Write(L"APPLICATION", L"PracticeCenterURL", L"http://127.0.0.1:9/pc/");
    EXPECT_EQ(PracticeCenterAddress(), L"http://127.0.0.1:9/pc/PracticeCenter/ExeIndex/Index?TQuestionPlanID=77&code=" +
                                           identifier + L"&groupName=vd&x&isInContainer=true");
}

}  // namespace
}  // namespace mf
