// Reading an update list file (XML) through the Windows XML DOM.
#pragma once

#include <string>

#include "check/list_records.h"
#include "list/download_list.h"

namespace mf {

// Appends the records of the list file to `target` (which is not emptied).
// With `serverList` the list's "guid" becomes the target's list identifier
// and its "fileurl" (or the default) its file-URL template. The file is
// only read (see RemoveListIdentifier). False when the file
// cannot be loaded, has no root element or could not be walked to the end
// (records read before that point stay); for a document that does not parse,
// `formatError` receives the text to report ("The xml file format error!"
// with the list's address and the parser's reason). The calling thread must
// have initialised COM.
bool ReadUpdateList(const std::wstring& path, DownLoadList& target, bool serverList,
                    std::wstring* formatError = nullptr);

// The same reading into compact entries (for the comparison of two lists,
// which turns only the records it selects into full ones). The list-level
// values go to `values` as ReadUpdateList puts them into its target; its
// records are not touched.
bool ReadUpdateListEntries(const std::wstring& path, ListEntries& entries, DownLoadList& values, bool serverList,
                           std::wstring* formatError = nullptr);

// Removes the first "guid" child of the list's root and saves the list in
// place, keeping its layout; a list without one, or one that does not load,
// is left as it is. The engine does this to every list it has read.
void RemoveListIdentifier(const std::wstring& path);

// ReadUpdateList, then RemoveListIdentifier when the list was read.
bool ReadListAndRemoveIdentifier(const std::wstring& path, DownLoadList& target, bool serverList,
                                 std::wstring* formatError = nullptr);

}  // namespace mf
