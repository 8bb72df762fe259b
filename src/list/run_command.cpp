#include "list/run_command.h"

namespace mf {

namespace {

std::wstring EscapeNines(std::wstring field) {
    for (wchar_t& c : field)
        if (c == kCommandSeparator) c = kCommandNine;
    return field;
}

std::wstring RestoreNines(std::wstring_view field) {
    std::wstring out(field);
    for (wchar_t& c : out)
        if (c == kCommandNine) c = kCommandSeparator;
    return out;
}

}  // namespace

std::wstring JoinRunCommand(const RunCommandFields& fields) {
    return EscapeNines(fields.path) + kCommandSeparator + EscapeNines(fields.param) + kCommandSeparator +
           EscapeNines(fields.wait) + kCommandSeparator + EscapeNines(fields.key);
}

RunCommandFields SplitRunCommand(std::wstring_view joined) {
    RunCommandFields fields;
    std::wstring* slots[] = {&fields.path, &fields.param, &fields.wait, &fields.key};
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t end = i < 3 ? joined.find(kCommandSeparator, start) : std::wstring_view::npos;
        *slots[i] =
            RestoreNines(joined.substr(start, end == std::wstring_view::npos ? joined.size() - start : end - start));
        if (end == std::wstring_view::npos) break;
        start = end + 1;
    }
    return fields;
}

}  // namespace mf
