// Reading an update list in one streaming pass with the XML DOM's SAX
// reader: the DOM builds a COM object for every node and attribute it is
// asked for, which makes a list of many thousand entries slow to walk.
#pragma once

#include <string>
#include <vector>

#include "check/list_records.h"

namespace mf {

struct StreamedList {
    bool rootFound = false;  // the document element is "update", "updates" or "mirefold"
    bool hasGuid = false;
    std::wstring guid;  // text of the root's first "guid" child
    bool hasFileUrl = false;
    std::wstring fileUrl;  // text of the root's first "fileurl" child
    ListEntries records;  // as the record rules build them, in document order
};

// False when the file cannot be read, is not well-formed or the SAX reader
// is not available; `list` is then incomplete. COM must be initialised.
bool ReadListStreamed(const std::wstring& path, StreamedList& list);

}  // namespace mf
