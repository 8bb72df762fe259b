#include "net/net_limits.h"

#include "engine/process_state.h"

namespace mf {

NetLimits& Limits() { return Process().Shared<NetLimits>(); }

}  // namespace mf
