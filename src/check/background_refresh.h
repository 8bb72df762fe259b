// The background refresh: the engine started again without a window so
// that the lists are fresh next time, at most every 48 hours; and the
// bookkeeping of when that last happened.
#pragma once

#include <functional>
#include <string>

namespace mf {

// Writes the check hour to Mirefold/OwerCheckTm and starts the engine's
// own executable hidden with "downparam0" (or "downparam1" for the
// engine's own server kind). Not waited for.
void StartBackgroundRefresh();

// After a successful check: deletes the cached parameter package when the
// last refresh is more than 48 hours away (or the page asked for it), and
// stores the check hour.
void CheckTimeBookkeeping();

// The stored check hour (Mirefold/OwerCheckTm).
long long StoredCheckHour();

// Replaces how the engine is relaunched (tests run inside other programs).
using RelaunchStarter = std::function<void(const std::wstring& parameter)>;
void SetRelaunchStarterForTesting(RelaunchStarter starter);

}  // namespace mf
