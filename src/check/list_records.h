// How one element of an update list becomes a record: the attribute forms
// that are accepted, URL-only file elements and the duplicate rule. Kept
// apart from the XML DOM so that the rules can be checked on their own.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <unordered_set>

#include "list/update_file_info.h"

namespace mf {

// Value of an attribute by exact name; empty when it is missing.
using AttributeLookup = std::function<std::wstring(const wchar_t* name)>;

// The first non-empty value among the forms, tried in order.
[[nodiscard]] std::wstring FirstAttribute(const AttributeLookup& attribute, std::initializer_list<const wchar_t*> forms);

// Element text as a list means it: the two characters backslash and "n"
// stand for a line break (CR LF).
[[nodiscard]] std::wstring ListElementText(std::wstring text);

// The path a URL-only file element is stored under: the last part of the
// URL, or the part before it when the URL ends in "/".
[[nodiscard]] std::wstring PathFromUrl(std::wstring url);

// The record names of the format (exact case).
inline constexpr const wchar_t* kFileElement = L"file";
inline constexpr const wchar_t* kDescriptionElement = L"description";
inline constexpr const wchar_t* kRunElement = L"run";

// A list declares that the keys of its "md5"/"MD5" attributes are content
// digests with this attribute on its root (hash="md5"). A file element may
// carry the attribute too; its own value then counts instead of the root's
// (a merged list keeps what the list an entry came from declared).
inline constexpr const wchar_t* kHashAttribute = L"hash";
inline constexpr const wchar_t* kMd5HashValue = L"md5";
// Any other value, written onto merged entries of a list without the marker.
inline constexpr const wchar_t* kNoHashValue = L"none";
[[nodiscard]] bool DeclaresMd5Keys(const std::wstring& hashValue);

// Builds the records of one list, remembering the file paths already seen
// (lower-cased) so that the first of several equal paths wins.
class ListRecordBuilder {
public:
    ListRecordBuilder() : seenPaths_(10) {}

    // The root's "hash" attribute: whether file records whose key came from
    // "md5"/"MD5" get `md5key`.
    void SetListHash(const std::wstring& hashValue) { listMd5Keys_ = DeclaresMd5Keys(hashValue); }

    // The record an element yields, if any. `text` is called only for the
    // elements whose text is used.
    std::optional<updatefileinfo> FromElement(const std::wstring& name, const AttributeLookup& attribute,
                                              const std::function<std::wstring()>& text);

private:
    std::optional<updatefileinfo> FileRecord(const AttributeLookup& attribute);

    std::unordered_set<std::wstring> seenPaths_;
    bool listMd5Keys_ = false;
};

// The text of the report when a list could not be walked: the translated
// "The xml file format error!", CR LF and, for a server list, the list URL,
// otherwise the error's message. Empty when a non-server error has no
// message (nothing is shown then).
[[nodiscard]] std::wstring ListFormatErrorText(const std::wstring& translatedError, bool serverList,
                                               const std::wstring& listUrl, const std::wstring& errorMessage);

}  // namespace mf
