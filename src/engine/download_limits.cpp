#include "engine/download_limits.h"

namespace mf {

namespace {
int Clamp(long value, long high) {
    if (value < 2) return 1;
    return static_cast<int>(value > high ? high : value);
}
}  // namespace

int ClampFileConcurrency(long value) { return Clamp(value, 50); }
int ClampFileConnections(long value) { return Clamp(value, 100); }

}  // namespace mf
