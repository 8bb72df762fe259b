// Parameters of the list URLs: "[param1]"/"{param1}", "[param2]"/"{param2}"
// and "[param]"/"{param}" stand for the product's own values, so one list
// URL can serve several products and editions.
#pragma once

#include <string>

namespace mf {

struct ListParameters {
    std::wstring param1;  // UPDATEINFO/Parameter1
    std::wstring param2;  // UPDATEINFO/Parameter2
    std::wstring param;   // UPDATEINFO/Parameter
};

// Replaces the placeholders, case-sensitively, in the order
// [param1] {param1} [param2] {param2} [param] {param}.
std::wstring SubstituteListParameters(std::wstring url, const ListParameters& values);

// The same with the values of section UPDATEINFO of the configuration.
std::wstring SubstituteListParameters(const std::wstring& url);

}  // namespace mf
