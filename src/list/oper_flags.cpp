#include "list/oper_flags.h"

#include "base/strings.h"
#include "list/update_file_info.h"

namespace mf {

std::int32_t ParseOperFlags(std::wstring_view text) {
    const std::wstring lower = ToLower(text);
    auto flags = static_cast<std::int32_t>(ParseLong(lower));
    if (Contains(lower, L"run") || Contains(lower, L"exe")) flags |= OPER_RUN;
    if (Contains(lower, L"del")) flags |= OPER_DEL;
    if (Contains(lower, L"reg")) flags |= OPER_REG;
    if (Contains(lower, L"boot")) flags |= OPER_BOOT;
    return flags;
}

}  // namespace mf
