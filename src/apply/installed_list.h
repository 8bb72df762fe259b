// Putting the new update list in place as the list of the installed release
// ("mirefold.xml"), which the next check compares the server's list with.
#pragma once

#include <msxml2.h>

#include <string>
#include <vector>

namespace mf {

// Replaces `target` with the list `source`: the new text is written beside
// the target under a temporary name and renamed over it, so the installed
// list is never half written. For every path in `failed` (records that
// could not be installed) the entry of the list installed before is kept
// instead of the new one, or the entry is left out when there was none, so
// that the next check fetches those files again. The source is deleted
// once the target is in place. False when nothing was put in place.
bool PlaceUpdateList(const std::wstring& source, const std::wstring& target, const std::vector<std::wstring>& failed);

// The edit itself, on loaded documents: every "file" element of `fresh`
// whose path (ignoring case) is in `failed` is replaced by the first such
// element of `installed` (attributes only), or removed; elements nested in
// a replaced one stay in its place. `installed` may be null.
bool KeepInstalledEntries(IXMLDOMDocument* fresh, IXMLDOMDocument* installed, const std::vector<std::wstring>& failed);

}  // namespace mf
