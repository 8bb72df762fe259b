#pragma once

namespace mf {

// Enables SeDebugPrivilege in the process token, so that processes of other
// users can be inspected and closed. Failures are silent.
bool EnableDebugPrivilege();

// Whether the system can run a program with administrator rights that the
// user's own programs lack (NT major version 6 or later): only there does a
// write refused for lack of rights call for the elevated relaunch.
bool SystemSupportsElevation();

}  // namespace mf
