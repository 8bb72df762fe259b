#include "check/list_parameters.h"

#include "base/strings.h"
#include "engine/process_state.h"

namespace mf {

std::wstring SubstituteListParameters(std::wstring url, const ListParameters& values) {
    ReplaceAll(url, L"[param1]", values.param1);
    ReplaceAll(url, L"{param1}", values.param1);
    ReplaceAll(url, L"[param2]", values.param2);
    ReplaceAll(url, L"{param2}", values.param2);
    ReplaceAll(url, L"[param]", values.param);
    ReplaceAll(url, L"{param}", values.param);
    return url;
}

std::wstring SubstituteListParameters(const std::wstring& url) {
    const ListParameters values{ReadConfig(L"UPDATEINFO", L"Parameter1"), ReadConfig(L"UPDATEINFO", L"Parameter2"),
                                ReadConfig(L"UPDATEINFO", L"Parameter")};
    return SubstituteListParameters(url, values);
}

}  // namespace mf
