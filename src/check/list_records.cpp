#include "check/list_records.h"

#include "base/strings.h"
#include "list/oper_flags.h"
#include "list/run_command.h"

namespace mf {

std::wstring FirstAttribute(const AttributeLookup& attribute, std::initializer_list<const wchar_t*> forms) {
    for (const wchar_t* name : forms) {
        std::wstring value = attribute(name);
        if (!value.empty()) return value;
    }
    return {};
}

std::wstring ListElementText(std::wstring text) {
    ReplaceAll(text, L"\\n", L"\r\n");
    return text;
}

std::wstring PathFromUrl(std::wstring url) {
    ReplaceAll(url, L"\\", L"/");
    ReplaceAll(url, L"//", L"/");
    const std::vector<std::wstring> parts = Split(url, L'/');
    if (parts.empty()) return {};
    std::wstring path = parts.back();
    if (path.empty() && parts.size() >= 2) path = parts[parts.size() - 2];
    return path;
}

bool DeclaresMd5Keys(const std::wstring& hashValue) { return EqualsNoCase(Trim(hashValue), kMd5HashValue); }

std::optional<updatefileinfo> ListRecordBuilder::FromElement(const std::wstring& name, const AttributeLookup& attribute,
                                                             const std::function<std::wstring()>& text) {
    if (name == kDescriptionElement) {
        updatefileinfo record;
        record.path = record.desname = ListElementText(text());
        record.ver = kNonFileVersion;
        record.oper = OPER_DESCRIPTION;
        return record;
    }
    if (name == kRunElement) {
        updatefileinfo record;
        record.path = record.desname =
            JoinRunCommand({attribute(L"path"), attribute(L"param"), attribute(L"wait"), attribute(L"key")});
        record.ver = kNonFileVersion;
        record.oper = OPER_COMMAND;
        return record;
    }
    if (name == kFileElement) return FileRecord(attribute);
    return std::nullopt;
}

std::optional<updatefileinfo> ListRecordBuilder::FileRecord(const AttributeLookup& attribute) {
    updatefileinfo record;
    record.ver = FirstAttribute(attribute, {L"ver", L"Ver"});
    if (record.ver.empty()) {
        record.ver = FirstAttribute(attribute, {L"md5", L"MD5"});
        if (!record.ver.empty()) {
            const std::wstring ownHash = attribute(kHashAttribute);
            record.md5key = ownHash.empty() ? listMd5Keys_ : DeclaresMd5Keys(ownHash);
        }
    }
    record.oper = ParseOperFlags(FirstAttribute(
        attribute, {L"oper", L"Oper", L"OPER", L"do", L"Do", L"DO", L"Action", L"action", L"ACTION", L"Activity",
                    L"activity", L"ACTIVITY"}));
    record.path = FirstAttribute(attribute, {L"path", L"Path", L"File", L"file", L"Name", L"name"});
    record.url = FirstAttribute(attribute, {L"URL", L"url", L"Url"});
    record.shortcut = FirstAttribute(attribute, {L"shortcut", L"ShortCut", L"SHORTCUT"});
    record.shortcuticon =
        FirstAttribute(attribute, {L"shortcuticon", L"shorticon", L"ShortCutIcon", L"SHORTCUTICON", L"SHORTICON"});
    record.iconindex = FirstAttribute(
        attribute, {L"iconindex", L"ICONINDEX", L"IconIndex", L"shortcuticonindex", L"SHORTCUTICONINDEX"});
    record.desname = FirstAttribute(attribute, {L"DesName", L"desname", L"dstname", L"DstName"});

    std::wstring lowerPath = ToLower(record.path);
    if (StartsWith(lowerPath, L"http:") || StartsWith(lowerPath, L"https:")) {
        record.url = record.path;
        record.path.clear();
    }
    if (!record.url.empty() && record.path.empty()) {
        record.path = PathFromUrl(record.url);
        lowerPath = ToLower(record.path);
    }

    if (!seenPaths_.insert(std::move(lowerPath)).second) return std::nullopt;
    return record;
}

std::wstring ListFormatErrorText(const std::wstring& translatedError, bool serverList, const std::wstring& listUrl,
                                 const std::wstring& errorMessage) {
    if (serverList) return translatedError + L"\r\n" + listUrl;
    if (errorMessage.empty()) return {};
    return translatedError + L"\r\n" + errorMessage;
}

}  // namespace mf
