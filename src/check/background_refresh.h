// The start-up-only run: the engine started again without a window, at most
// every 48 hours, in a mode that stops as soon as start-up is done; and the
// bookkeeping of when the last check happened.
#pragma once

#include <functional>
#include <string>

namespace mf {

// Writes the check hour to Mirefold/OwerCheckTm and starts the engine's
// own executable hidden with "downparam0" (or "downparam1" for the
// engine's own server kind). Those modes stop right after start-up: that
// run writes the configuration, takes over an embedded package, runs the
// start-up programs, reads the cached parameter package and purges old
// files, and checks nothing. Not waited for.
void StartStartupOnlyRun();

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
