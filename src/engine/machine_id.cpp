#include "engine/machine_id.h"

#include "base/files.h"
#include "base/strings.h"
#include "engine/process_state.h"

namespace mf {

namespace {

// The product maker's practice service.
constexpr const wchar_t* kPracticeCenterPage = L"http://practice.mirefold.net/PracticeCenter/ExeIndex/Index";

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

std::wstring PracticeCenterAddressWith(const std::wstring& planId, const std::wstring& identifier,
                                       const std::wstring& agentName, const std::optional<std::wstring>& packageId) {
    std::wstring address = std::wstring(kPracticeCenterPage) + L"?TQuestionPlanID=" + planId + L"&code=" + identifier +
                           L"&groupName=" + agentName + L"&isInContainer=true";
    if (packageId) address += L"&PackageId=" + *packageId;
    return address;
}

std::wstring PracticeCenterAddress() {
    const CompanionFiles companions = CompanionFiles::ForExecutableFolder(ExecutableFolder());
    std::optional<std::wstring> packageId;
    if (companions.HasSet() || companions.HasKc()) packageId = companions.Read(L"QuorvilSetId");
    return PracticeCenterAddressWith(ReadConfig(L"APPLICATION", L"PlanId"), MachineIdentifier(),
                                     ReadConfig(L"APPLICATION", L"AgentName"), packageId);
}

}  // namespace mf
