// Update status broadcast. (Placeholder until the notification protocol
// lands: only records the code.)
#pragma once

#include "app/process_state.h"

namespace mf {

inline void SetStatus(int code) { Process().updateList.SetStatusCode(code); }

}  // namespace mf
