// The names and values that the engine and a host application agree on:
// window properties, the value that switches them on, and the size of the
// text block the engine writes into the receiver's process. Shared with the
// sample host, so it holds nothing but constants.
#pragma once

#include <cstddef>

namespace mf::host {

// A property counts as set only with this value.
inline constexpr int kOn = 1974;

// Set by the receiver.
inline constexpr const wchar_t* kNeedMessagesProperty = L"mirefold.needmsg";  // status/count/description wanted
inline constexpr const wchar_t* kPausedProperty = L"mirefold.paused";          // hold at the next phase boundary
inline constexpr const wchar_t* kExitWhenKilledProperty = L"mirefold.exitwhenwndkilled";  // stop without the host
// Set by the engine on every notification window at every status change.
inline constexpr const wchar_t* kStatusProperty = L"mirefold.exe";
inline constexpr const wchar_t* kFileCountProperty = L"updatefilecount";

// The remote text block: 1024 UTF-16 units, always NUL-terminated inside.
inline constexpr std::size_t kTextBlockBytes = 2048;
inline constexpr std::size_t kTextBlockUnits = kTextBlockBytes / sizeof(wchar_t);

}  // namespace mf::host
