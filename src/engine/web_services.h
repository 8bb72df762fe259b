// The product maker's web services that the launcher window talks to: the
// practice center (the pages the launcher shows) and the message server
// (push messages). Their base addresses are settings of section
// "APPLICATION", so that a vendor or a test points them elsewhere:
//   PracticeCenterURL   default http://practice.mirefold.net
//   MessageServerURL    default http://message.mirefold.net
// A trailing "/" of a setting is dropped; the paths the engine asks for
// begin with one.
#pragma once

#include <string>

namespace mf {

inline constexpr const wchar_t* kDefaultPracticeCenterServer = L"http://practice.mirefold.net";
inline constexpr const wchar_t* kDefaultMessageServer = L"http://message.mirefold.net";

// The base address without its trailing slashes.
[[nodiscard]] std::wstring ServerBase(std::wstring configured, const wchar_t* fallback);

[[nodiscard]] std::wstring PracticeCenterServer();
[[nodiscard]] std::wstring MessageServer();

// The practice center's loading page (shown while the computer variant
// caches its files).
[[nodiscard]] std::wstring PracticeCenterLoadingPage();

}  // namespace mf
