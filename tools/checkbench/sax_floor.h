// The floor under the list step: the XML library's SAX reader parsing a
// list with a content handler that does nothing, or one that only copies
// each attribute's name and value into strings.
#pragma once

#include <string>

namespace mfbench {

enum class FloorHandler { Empty, CopyAttributes };

// Parses the file once through the SAX reader; false when it fails.
// COM must be initialised.
bool ParseWithFloorHandler(const std::wstring& path, FloorHandler handler);

}  // namespace mfbench
