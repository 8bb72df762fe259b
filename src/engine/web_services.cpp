#include "engine/web_services.h"

#include "base/strings.h"
#include "engine/process_state.h"

namespace mf {

std::wstring ServerBase(std::wstring configured, const wchar_t* fallback) {
    configured = Trim(configured);
    while (!configured.empty() && (configured.back() == L'/' || configured.back() == L'\\')) configured.pop_back();
    return configured.empty() ? std::wstring(fallback) : configured;
}

std::wstring PracticeCenterServer() {
    return ServerBase(ReadConfig(L"APPLICATION", L"PracticeCenterURL"), kDefaultPracticeCenterServer);
}

std::wstring MessageServer() {
    return ServerBase(ReadConfig(L"APPLICATION", L"MessageServerURL"), kDefaultMessageServer);
}

bool WebServicesEnabled() { return ReadConfigFlag(L"APPLICATION", L"WebServices", L"1"); }

std::wstring PracticeCenterLoadingPage() { return PracticeCenterServer() + L"/areas/PracticeCenter/zqLoading2.html"; }

}  // namespace mf
