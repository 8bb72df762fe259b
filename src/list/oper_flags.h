// The operation text of a file record turned into OPER_* flags.
#pragma once

#include <cstdint>
#include <string_view>

namespace mf {

// Leading decimal number of the lower-cased text, OR-ed with a bit for every
// keyword found anywhere in it: "run"/"exe", "del", "reg", "boot".
[[nodiscard]] std::int32_t ParseOperFlags(std::wstring_view text);

}  // namespace mf
