// The resources of the product's windows, read from the executable
// (numbers in ui/resource_ids.h).
#pragma once

#include <windows.h>

#include <string_view>

#include "base/handles.h"

namespace mf::ui {

// A bitmap resource of the executable; empty when it has none.
[[nodiscard]] UniqueGdiObject LoadBitmapResource(int id);

// The bytes of a "GIF" resource of the executable; empty when it has none.
[[nodiscard]] std::string_view GifResource(int id);

}  // namespace mf::ui
