#include "list/handed_over_list.h"

#include <algorithm>

#include "base/strings.h"

namespace mf {

namespace {

bool SameKey(const updatefileinfo& a, const updatefileinfo& b) {
    return EqualsNoCase(a.path, b.path) && a.ver == b.ver && a.oper == b.oper && a.md5key == b.md5key;
}

bool Holds(const std::vector<updatefileinfo>& records, const updatefileinfo& record) {
    return std::any_of(records.begin(), records.end(),
                       [&](const updatefileinfo& other) { return SameKey(other, record); });
}

bool Holds(const std::vector<std::wstring>& commands, const std::wstring& command) {
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

void KeepRecordsOf(DownLoadList& reference, const DownLoadList& saved) {
    for (int i = reference.GetSize() - 1; i >= 0; --i)
        if (!Holds(saved.Records(), reference[i])) reference.RemoveAt(i);
}

void KeepCommandsOf(DownLoadList& reference, const DownLoadList& saved) {
    std::erase_if(reference.commands, [&](const std::wstring& command) { return !Holds(saved.commands, command); });
}

}  // namespace

std::vector<std::wstring> KeepHandedOverRecords(DownLoadList& reference, const DownLoadList& saved) {
    std::vector<std::wstring> dropped;
    for (const updatefileinfo& record : saved.Records())
        if (!Holds(reference.Records(), record))
            dropped.push_back(L"file[" + record.path + L"][" + record.ver + L"][" + std::to_wstring(record.oper) +
                              L"]");
    for (const std::wstring& command : saved.commands)
        if (!Holds(reference.commands, command)) dropped.push_back(L"command[" + command + L"]");
    KeepRecordsOf(reference, saved);
    KeepCommandsOf(reference, saved);
    return dropped;
}

}  // namespace mf
