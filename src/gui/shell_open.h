// Opening a web address in the user's browser from a program that may run
// elevated. A program started by an elevated process inherits its rights,
// and the user's browser must never run as administrator; so the address
// goes to the desktop's shell (Explorer, which runs with the user's own
// rights) and is opened there. Where no desktop shell answers, an elevated
// process opens nothing; a process without elevation opens the address
// itself.
#pragma once

#include <string>

namespace mf::gui {

// Whether this process runs elevated (its token says so).
[[nodiscard]] bool ProcessIsElevated();

// Opens `url` with the "open" verb as described above; false when nothing
// was started.
bool OpenInUserShell(const std::wstring& url);

}  // namespace mf::gui
