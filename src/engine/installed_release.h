// The serial of the installed release, kept beside the installed list
// ("mirefold.serial" next to "mirefold.xml"), so that no list or package of
// an older release is taken over it. A list's serial travels from the check
// to the install phase in the update list's values (it survives the saved
// list of an elevated relaunch); the install phase records it together with
// the list it puts in place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mf {

class DownLoadList;

inline constexpr const wchar_t* kInstalledSerialFile = L"mirefold.serial";
inline constexpr const wchar_t* kListSerialValue = L"mirefold.serial";

// The serial recorded in the installation folder; nothing when none is (an
// installation made without serials, or none at all) or it is unreadable.
[[nodiscard]] std::optional<std::uint64_t> ReadInstalledSerial();

// Records the serial of the release just installed; without one the record
// is removed (the installed release has none). False when it could not be
// written.
bool WriteInstalledSerial(std::optional<std::uint64_t> serial);

// The serial that the list to be installed carries (its values), if any.
[[nodiscard]] std::optional<std::uint64_t> ListSerialOf(const DownLoadList& list);
void SetListSerial(DownLoadList& list, const std::wstring& serialText);

}  // namespace mf
