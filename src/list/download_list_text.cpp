// The parts of DownLoadList that only handle text: how list records are
// normalised and the saved form of a list (ListArchive), which is read back
// from the user's temporary folder. They take no system header, so they
// also run natively under a fuzzer.
#include <algorithm>

#include "base/strings.h"
#include "list/download_list.h"

namespace mf {

// Runs for every record of both lists, so it works in place: no string is
// copied, and one is rebuilt only when it holds "._.zip".
void NormaliseListPath(std::wstring& path) {
    std::replace(path.begin(), path.end(), L'|', L'\\');
    if (path.find(L"._.zip") != std::wstring::npos) ReplaceAll(path, L"._.zip", L"");
    TrimInPlace(path);
}

void NormaliseListKey(std::wstring& ver) {
    LowerInPlace(ver);
    TrimInPlace(ver);
}

std::wstring ExpandMessageLineBreaks(std::wstring text) {
    ReplaceAll(text, L"\\r\\n", L"\r\n");
    ReplaceAll(text, L"\\n", L"\r\n");
    return text;
}

bool DownLoadList::Serialize(ListArchive& archive) { return archive.IsLoading() ? Load(archive) : Store(archive); }

namespace {
std::wstring Md5KeyIndices(const std::vector<updatefileinfo>& records) {
    std::wstring text;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!records[i].md5key) continue;
        if (!text.empty()) text += L',';
        text += std::to_wstring(i);
    }
    return text;
}

void ApplyMd5KeyIndices(const std::wstring& text, std::vector<updatefileinfo>& records, std::size_t first) {
    for (const std::wstring& part : Split(text, L',')) {
        if (part.empty() || part.size() > 9 || part.find_first_not_of(L"0123456789") != std::wstring::npos) continue;
        const std::size_t index = first + static_cast<std::size_t>(ParseLong(part));
        if (index < records.size()) records[index].md5key = true;
    }
}
std::wstring Sha256Keys(const std::vector<updatefileinfo>& records) {
    std::wstring text;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (records[i].sha256.empty()) continue;
        if (!text.empty()) text += L',';
        text += std::to_wstring(i) + L'=' + records[i].sha256;
    }
    return text;
}

void ApplySha256Keys(const std::wstring& text, std::vector<updatefileinfo>& records, std::size_t first) {
    for (const std::wstring& part : Split(text, L',')) {
        const std::size_t equals = part.find(L'=');
        if (equals == 0 || equals > 9 || equals == std::wstring::npos) continue;
        const std::wstring number = part.substr(0, equals);
        if (number.find_first_not_of(L"0123456789") != std::wstring::npos) continue;
        const std::size_t index = first + static_cast<std::size_t>(ParseLong(number));
        if (index < records.size()) records[index].sha256 = part.substr(equals + 1);
    }
}
}  // namespace

bool DownLoadList::Store(ListArchive& archive) const {
    for (const auto& [key, value] : values) {
        // A key equal to the terminator would end the map early on reading
        // and misplace everything after it.
        if (key == kValuesEndKey || key == kMd5KeysValue || key == kSha256KeysValue) continue;
        archive.WriteString(key);
        archive.WriteString(value);
    }
    if (const std::wstring digestKeys = Md5KeyIndices(records_); !digestKeys.empty()) {
        archive.WriteString(kMd5KeysValue);
        archive.WriteString(digestKeys);
    }
    if (const std::wstring sha256Keys = Sha256Keys(records_); !sha256Keys.empty()) {
        archive.WriteString(kSha256KeysValue);
        archive.WriteString(sha256Keys);
    }
    archive.WriteString(kValuesEndKey);
    archive.WriteInt(static_cast<std::int32_t>(commands.size()));
    for (const std::wstring& command : commands) archive.WriteString(command);
    for (const std::wstring* text : {&messageText, &baseUrl, &fileUrlTemplate, &listPath, &listIdentifier})
        archive.WriteString(*text);
    archive.WriteInt(ToInt(Status()));
    archive.WriteInt(static_cast<std::int32_t>(records_.size()));
    for (const updatefileinfo& r : records_) {
        for (const std::wstring* text : {&r.url, &r.path, &r.desname, &r.ver, &r.status, &r.shortcut,
                                         &r.shortcuticon, &r.iconindex})
            archive.WriteString(*text);
        archive.WriteInt(r.oper);
    }
    return true;
}

bool DownLoadList::Load(ListArchive& archive) {
    const std::size_t first = records_.size();
    std::wstring digestKeys, sha256Keys;
    const bool complete = LoadParts(archive, digestKeys, sha256Keys);
    // Also for a stream that ended early: the records read keep their flags.
    ApplyMd5KeyIndices(digestKeys, records_, first);
    ApplySha256Keys(sha256Keys, records_, first);
    return complete;
}

bool DownLoadList::LoadParts(ListArchive& archive, std::wstring& digestKeys, std::wstring& sha256Keys) {
    for (;;) {
        std::wstring key;
        if (!archive.ReadString(key)) return false;
        if (key == kValuesEndKey) break;
        std::wstring value;
        if (!archive.ReadString(value)) return false;
        if (key == kMd5KeysValue) {
            digestKeys = std::move(value);
        } else if (key == kSha256KeysValue) {
            sha256Keys = std::move(value);
        } else {
            values[key] = std::move(value);
        }
    }
    std::int32_t count = 0;
    if (!archive.ReadInt(count) || count < 0) return false;
    std::vector<std::wstring> readCommands;
    for (std::int32_t i = 0; i < count; ++i) {
        std::wstring command;
        if (!archive.ReadString(command)) {
            commands = std::move(readCommands);
            return false;
        }
        readCommands.push_back(std::move(command));
    }
    commands = std::move(readCommands);
    for (std::wstring* text : {&messageText, &baseUrl, &fileUrlTemplate, &listPath, &listIdentifier}) {
        std::wstring read;
        if (!archive.ReadString(read)) return false;
        *text = std::move(read);
    }
    std::int32_t status = 0;
    if (!archive.ReadInt(status)) return false;
    SetStatus(StatusFromInt(status));
    if (!archive.ReadInt(count) || count < 0) return false;
    for (std::int32_t i = 0; i < count; ++i) {
        updatefileinfo r;
        for (std::wstring* text : {&r.url, &r.path, &r.desname, &r.ver, &r.status, &r.shortcut, &r.shortcuticon,
                                   &r.iconindex})
            if (!archive.ReadString(*text)) return false;
        if (!archive.ReadInt(r.oper)) return false;
        records_.push_back(std::move(r));
    }
    return true;
}

}  // namespace mf
