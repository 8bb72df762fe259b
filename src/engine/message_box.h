// Message boxes of the engine: the caption is the product name.
//
// Who sees a box. A modal box waits for somebody to answer it, and some
// runs have nobody: a run whose mode a script or a host starts
// ("silence", "checkforupdates", "downparam0", "downparam1", "emptytemp",
// "uninstall"), and a run driven by a host window given on the command line
// while none of the engine's own windows is on screen. Such a run must end
// on its own, so there a box is not shown: the message is logged and the
// box's answer is the one each call names for that case (by default the
// answer that goes no further: OK, Cancel, No or Abort). Every message is
// logged in every run, shown or not.
#pragma once

#include <windows.h>

#include <string>

namespace mf {

// Whether the current run has somebody to answer a box owned by `owner`
// (see above). `owner` counts as "on screen" when it is a visible window of
// this process.
[[nodiscard]] bool SomebodyCanAnswer(HWND owner);

// The answer a box with these buttons gets when nobody is there.
[[nodiscard]] int QuietAnswer(UINT flags);

// Logs the text and shows it when somebody can answer; otherwise returns
// `unattendedAnswer`, or QuietAnswer(flags) when it is 0. The caption is
// the product name unless one is given.
int ShowMessage(HWND owner, const std::wstring& text, UINT flags, int unattendedAnswer = 0,
                const std::wstring& caption = {});

// An error that a lower layer returned, reported by the flow that owns the
// window: logged, and shown in a message box when somebody can answer.
void ReportError(HWND owner, const std::wstring& text);

}  // namespace mf
