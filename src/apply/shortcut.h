// Shell links: the "shortcut" task and the shortcuts of update records.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace mf {

// Creates a link to an existing target, started in `folder`, with the icon
// when that file exists. The link file gets ".lnk" unless its path holds
// it; missing folders of the link are created. False when the target does
// not exist or the link could not be made.
bool CreateShortcut(const std::wstring& target, const std::wstring& folder, const std::wstring& link,
                    const std::wstring& icon, int iconIndex);

// The shortcuts of one installed record, to its first target: a desktop
// link whose name holds "{key}" takes its name from that key of section
// APPLICATION. Each is shown and logged as "Create shortcut[%s]...".
// The file a record's shortcut is saved to: the desktop "{key}" name
// replaced, ".lnk" appended when the path lacks it. The uninstall removes
// the links under these names.
[[nodiscard]] std::wstring RecordShortcutFile(const std::wstring& link);

void CreateRecordShortcuts(const std::wstring& target, const std::wstring& icon, const std::wstring& iconIndex,
                           const std::vector<std::wstring>& links, HWND owner);

}  // namespace mf
