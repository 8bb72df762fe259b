#include "ui/window_resources.h"

#include "base/resources.h"
#include "gui/window.h"

namespace mf::ui {

UniqueGdiObject LoadBitmapResource(int id) {
    return UniqueGdiObject(
        ::LoadImageW(gui::ThisModule(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

std::string_view GifResource(int id) { return ResourceBytes(gui::ThisModule(), L"GIF", id); }

}  // namespace mf::ui
