// The working folder: every relative path of the engine is taken against it.
// Until start-up sets it, it is the executable's folder.
#pragma once

#include "base/settable_folder.h"

namespace mf {

class WorkFolder final : public SettableFolder {};

}  // namespace mf
