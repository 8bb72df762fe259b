// Message boxes of the engine: the caption is the product name.
#pragma once

#include <windows.h>

#include <string>

namespace mf {

int ShowMessage(HWND owner, const std::wstring& text, UINT flags);

}  // namespace mf
