// One engine at a time per product. Two engines on one working folder share
// its temporary files, its list files and its log: run together they
// overwrite each other's downloads, and one of them then reports a failed
// run as "nothing to update". The guard is a named mutex per working
// folder, held for the whole run and released when the process ends.
//
// The engine only starting an installed main program does not take it
// (that touches nothing the others use), so a product starts while its
// update center runs.
#pragma once

#include <windows.h>

#include <string>

#include "base/handles.h"

namespace mf {

// How long a second engine waits for the first: long enough for an engine
// that relaunches itself elevated to have ended.
inline constexpr DWORD kProductGuardWaitMs = 5000;

// The mutex name of a working folder: in the machine-wide namespace (the
// folder is machine-wide), case and trailing backslashes ignored.
std::wstring ProductGuardName(const std::wstring& workFolder);

class ProductGuard {
public:
    enum class Result {
        Held,        // this engine is the product's engine now
        Busy,        // another engine held it for the whole wait
        Unguarded,   // the mutex could not be made; the run goes on without it
    };

    ProductGuard() = default;
    ProductGuard(const ProductGuard&) = delete;
    ProductGuard& operator=(const ProductGuard&) = delete;

    // Takes the guard of the product, waiting up to `waitMs` for another
    // engine to end. Called by the thread that runs the engine.
    Result Acquire(const std::wstring& workFolder, DWORD waitMs = kProductGuardWaitMs);

private:
    UniqueHandle mutex_;
};

}  // namespace mf
