// Limits of the download phase that the parameter package may change:
// files fetched at the same time and connections per file.
#pragma once

namespace mf {

inline constexpr int kDefaultFileConcurrency = 8;
inline constexpr int kDefaultFileConnections = 8;

// 1..50; values below 2 become 1.
int ClampFileConcurrency(long value);
// 1..100; values below 2 become 1.
int ClampFileConnections(long value);

}  // namespace mf
