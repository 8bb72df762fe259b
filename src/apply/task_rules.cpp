#include "apply/task_rules.h"

#include "base/strings.h"

namespace mf {

TaskKind TaskKindOf(std::wstring_view elementName) {
    struct Name {
        std::wstring_view name;
        TaskKind kind;
    };
    static constexpr Name kNames[] = {
        {L"run", TaskKind::Run},   {L"ren", TaskKind::Rename},  {L"rename", TaskKind::Rename},
        {L"kill", TaskKind::Kill}, {L"path", TaskKind::Path},   {L"del", TaskKind::Delete},
        {L"shortcut", TaskKind::Shortcut}, {L"ini", TaskKind::Ini},
    };
    for (const Name& n : kNames)
        if (n.name == elementName) return n.kind;
    return TaskKind::None;
}

bool IsTrueText(std::wstring_view text) {
    for (const wchar_t c : ToLower(text))
        if (c == L'1' || c == L'y' || c == L't') return true;
    return false;
}

std::wstring LinkFileName(const std::wstring& link) {
    return ToLower(link).find(L".lnk") != std::wstring::npos ? link : link + L".lnk";
}

bool IsTaskDocumentName(std::wstring_view path) {
    const std::wstring hay = ToLower(path) + L"*#06#";
    return hay.find(L".xml*#06#", 1) != std::wstring::npos;
}

}  // namespace mf
