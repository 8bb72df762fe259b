#include "engine/machine_id.h"

#include "base/files.h"
#include "base/strings.h"
#include "engine/process_state.h"
#include "engine/web_services.h"

namespace mf {

namespace {

// The practice page on the practice-center server.
constexpr const wchar_t* kPracticeCenterPage = L"/PracticeCenter/ExeIndex/Index";

constexpr std::size_t kIdentifierLength = 9;
constexpr std::size_t kPartLength = 3;

std::wstring LastThree(const std::wstring& text) { return text.substr(text.size() - kPartLength); }

// A missing source borrows three characters of the processor id; a short
// one is padded to three.
std::wstring FilledPart(std::wstring part, const std::wstring& processor) {
    if (part.empty()) return processor.substr(processor.size() - 6, kPartLength);
    if (part.size() < kPartLength) part.insert(0, kPartLength - part.size(), L'0');
    return part;
}

// Judged on the ANSI bytes, so a double-byte character becomes two "S".
std::wstring Sanitised(const std::wstring& text) {
    std::string bytes = Narrow(text);
    for (char& c : bytes) {
        const bool digit = c >= '0' && c <= '9';
        const bool upper = c >= 'A' && c <= 'Z';
        if (!digit && !upper) c = 'S';
    }
    if (bytes.size() > kIdentifierLength) bytes.resize(kIdentifierLength);
    return Widen(bytes);
}

}  // namespace

MachineSources SourcesFromWmiValues(const std::optional<std::wstring>& processorId, const std::wstring& macAddress,
                                    const std::wstring& diskSerial) {
    MachineSources sources;
    sources.processor = processorId ? *processorId : std::wstring(kNoHardwareIdentifier);
    sources.adapter = Replaced(macAddress, L":", L"");
    sources.disk = diskSerial;
    return sources;
}

std::wstring ComposeMachineIdentifier(const MachineSources& sources) {
    std::wstring processor = sources.processor;
    if (processor.size() < kIdentifierLength) processor.insert(0, kIdentifierLength - processor.size(), L'0');
    const std::wstring disk = FilledPart(sources.disk, processor);
    const std::wstring adapter = FilledPart(sources.adapter, processor);
    return Sanitised(LastThree(processor) + LastThree(disk) + LastThree(adapter));
}

std::wstring MachineIdentifierFrom(const std::function<std::optional<MachineSources>()>& firstMethod,
                                   const std::function<MachineSources()>& secondMethod) {
    const std::optional<MachineSources> first = firstMethod();
    if (!first) return {};
    const std::wstring identifier = ComposeMachineIdentifier(*first);
    if (identifier != kNoHardwareIdentifier) return identifier;
    return ComposeMachineIdentifier(secondMethod());
}

void ComputeMachineIdentifier() {
    Process().run.machineIdentifier = MachineIdentifierFrom(ReadWmiSources, ReadDeviceSources);
}

std::wstring MachineIdentifier() { return Process().run.machineIdentifier; }

std::wstring PracticeCenterAddressWith(const std::wstring& server, const std::wstring& planId,
                                       const std::wstring& identifier, const std::wstring& agentName,
                                       const std::vector<std::wstring>& packageIds) {
    std::wstring address = server + kPracticeCenterPage + L"?TQuestionPlanID=" + planId + L"&code=" + identifier +
                           L"&groupName=" + agentName + L"&isInContainer=true";
    for (const std::wstring& id : packageIds) address += L"&PackageId=" + id;
    return address;
}

std::wstring PracticeCenterAddress() {
    // Each companion file that exists adds its set id, the set's file first.
    const CompanionFiles companions = CompanionFiles::ForExecutableFolder(ExecutableFolder());
    std::vector<std::wstring> packageIds;
    for (const std::wstring& path : {companions.setPath, companions.kcPath})
        if (FileExists(path)) packageIds.push_back(ReadPrivateProfile(path, L"APPLICATION", L"QuorvilSetId"));
    return PracticeCenterAddressWith(PracticeCenterServer(), ReadConfig(L"APPLICATION", L"PlanId"),
                                     MachineIdentifier(), ReadConfig(L"APPLICATION", L"AgentName"), packageIds);
}

}  // namespace mf
