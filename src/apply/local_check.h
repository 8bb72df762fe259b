// The local check before installing: whether the files about to be replaced
// can be written.
#pragma once

#include <string>

namespace mf {

// Whether this process can write the file: an existing file is opened for
// writing, a missing one is created and deleted again.
bool IsFileWritable(const std::wstring& path);

}  // namespace mf
