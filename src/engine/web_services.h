// The product maker's web services that the launcher window talks to: the
// practice center (the pages the launcher shows) and the message server
// (push messages). Their base addresses are settings of section
// "APPLICATION", so that a vendor or a test points them elsewhere:
//   PracticeCenterURL   default http://practice.mirefold.net
//   MessageServerURL    default http://message.mirefold.net
// A trailing "/" of a setting is dropped; the paths the engine asks for
// begin with one.
//
// "WebServices" of section "APPLICATION" (default on) set to 0 turns off
// every request that carries the machine identifier without the user
// asking: the practice center's start-up request, the push messages and
// their offer checks. The identifier goes to these two hosts only.
#pragma once

#include <string>

namespace mf {

inline constexpr const wchar_t* kDefaultPracticeCenterServer = L"http://practice.mirefold.net";
inline constexpr const wchar_t* kDefaultMessageServer = L"http://message.mirefold.net";

// The base address without its trailing slashes.
[[nodiscard]] std::wstring ServerBase(std::wstring configured, const wchar_t* fallback);

[[nodiscard]] std::wstring PracticeCenterServer();
[[nodiscard]] std::wstring MessageServer();

// Whether the practice-center request, push messages and offer checks run.
[[nodiscard]] bool WebServicesEnabled();

// The practice center's loading page (shown while the computer variant
// caches its files).
[[nodiscard]] std::wstring PracticeCenterLoadingPage();

}  // namespace mf
