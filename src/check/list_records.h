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

// Builds the records of one list, remembering the file paths already seen
// (lower-cased) so that the first of several equal paths wins.
class ListRecordBuilder {
public:
    ListRecordBuilder() : seenPaths_(10) {}

    // The record an element yields, if any. `text` is called only for the
    // elements whose text is used.
    std::optional<updatefileinfo> FromElement(const std::wstring& name, const AttributeLookup& attribute,
                                              const std::function<std::wstring()>& text);

private:
    std::optional<updatefileinfo> FileRecord(const AttributeLookup& attribute);

    std::unordered_set<std::wstring> seenPaths_;
};

// The text of the report when a list could not be walked: the translated
// "The xml file format error!", CR LF and, for a server list, the list URL,
// otherwise the error's message. Empty when a non-server error has no
// message (nothing is shown then).
[[nodiscard]] std::wstring ListFormatErrorText(const std::wstring& translatedError, bool serverList,
                                               const std::wstring& listUrl, const std::wstring& errorMessage);

}  // namespace mf
