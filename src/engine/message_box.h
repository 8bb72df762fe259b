// Message boxes of the engine: the caption is the product name.
#pragma once

#include <windows.h>

#include <string>

namespace mf {

int ShowMessage(HWND owner, const std::wstring& text, UINT flags);

// An error that a lower layer returned, reported by the flow that owns the
// window: logged, and shown in a message box.
void ReportError(HWND owner, const std::wstring& text);

}  // namespace mf
