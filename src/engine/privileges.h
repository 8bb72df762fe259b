#pragma once

namespace mf {

// Enables SeDebugPrivilege in the process token, so that processes of other
// users can be inspected and closed. Failures are silent.
bool EnableDebugPrivilege();

}  // namespace mf
