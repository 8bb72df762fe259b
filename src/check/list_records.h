// How one element of an update list becomes a record: the attribute forms
// that are accepted, URL-only file elements and the duplicate rule. Kept
// apart from the XML DOM so that the rules can be checked on their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "list/update_file_info.h"

namespace mf {

// One attribute of an element as the reader passes it. The views belong to
// the reader and are valid only while it presents the element.
struct AttributeView {
    std::wstring_view name;
    std::wstring_view value;
};
using AttributeViews = std::span<const AttributeView>;

// Value of the first attribute with exactly this name; empty when missing.
[[nodiscard]] std::wstring_view AttributeValue(AttributeViews attributes, std::wstring_view name);

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
[[nodiscard]] bool DeclaresMd5Keys(std::wstring_view hashValue);

// The elements that yield records (exact case).
enum class RecordElement { None, File, Description, Run };
[[nodiscard]] RecordElement RecordElementOf(std::wstring_view name);

// The lower-cased paths already taken from one list, for the duplicate rule.
// Open addressing over one buffer holding every key: a list of 100k files
// costs no allocation per entry.
class SeenPaths {
public:
    // True when the key was not there before (it is then entered).
    bool Insert(std::wstring_view key);

private:
    // Twelve bytes a slot: the table is touched all over, and its size is
    // what it costs.
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t offset = 0;
        std::uint32_t length = kFree;
    };
    static constexpr std::uint32_t kFree = 0xFFFFFFFF;
    void Grow();

    std::wstring keys_;  // every key, one after another
    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

// What one element yields, before the list's normalisation (which
// ListEntries::Append applies). The views are valid until the builder's next
// call and while the reader presents the element.
struct RecordFields {
    std::wstring_view url;
    std::wstring_view path;
    std::wstring_view desname;
    std::wstring_view ver;
    std::wstring_view shortcut;
    std::wstring_view shortcuticon;
    std::wstring_view iconindex;
    std::wstring_view sha256;
    std::int32_t oper = 0;
    bool md5key = false;
    ZipHint zip = ZipHint::Unmarked;
};

// The record as the fields say, without normalisation.
[[nodiscard]] updatefileinfo ToRecord(const RecordFields& fields);

// Builds the records of one list, remembering the file paths already seen
// (lower-cased) so that the first of several equal paths wins.
class ListRecordBuilder {
public:
    // The root's "hash" attribute: whether file records whose key came from
    // "md5"/"MD5" get `md5key`.
    void SetListHash(std::wstring_view hashValue) { listMd5Keys_ = DeclaresMd5Keys(hashValue); }

    // What an element yields, or null. `text` (the element's text content)
    // is used only by message elements; `attributes` only by the others.
    const RecordFields* FromElement(RecordElement element, AttributeViews attributes, std::wstring_view text);

private:
    const RecordFields* FileRecord(AttributeViews attributes);

    SeenPaths seenPaths_;
    RecordFields fields_;
    std::wstring lowerPath_;  // reused for every file record
    std::wstring path_;       // a path taken from a URL, a message or a command
    bool listMd5Keys_ = false;
};

// The records of one list in compact form: every value in one buffer, each
// record a few numbers. Reading a list of 100k entries into full records
// (eight strings each) touched some 40 MB of fresh memory, and fresh memory
// is what costs most on a virtual machine; this touches a third of it.
// Values are normalised as a list's records are (NormaliseListPath and
// NormaliseListKey): a record made from an entry is the record the list
// yields.
class ListEntries {
public:
    // A view of one record for the comparison with another list.
    struct Key {
        std::wstring_view path;
        std::wstring_view ver;
        std::int32_t oper;
        std::size_t index;  // of the record in the list
    };

    void Reserve(std::size_t entries, std::size_t characters);
    void Append(const RecordFields& fields);
    // A place for a record whose values come later (a message, whose text is
    // complete only at its end). A place never filled is dropped by Finish.
    std::size_t AppendPlace();
    void Fill(std::size_t place, const RecordFields& fields);
    void Finish();

    [[nodiscard]] std::size_t size() const { return entries_.size(); }
    [[nodiscard]] Key operator[](std::size_t index) const;
    [[nodiscard]] updatefileinfo Record(std::size_t index) const;

private:
    // The texts of an entry, in the order they follow each other.
    enum class Value : std::uint8_t { Url, Path, Desname, Ver, Shortcut, ShortcutIcon, IconIndex, Sha256 };
    static constexpr std::size_t kValueCount = 8;
    struct Entry {
        std::uint32_t start = 0;  // in text_; the values follow each other
        std::uint32_t length[kValueCount] = {};
        std::int32_t oper = 0;
        bool md5key = false;
        ZipHint zip = ZipHint::Unmarked;
        bool pending = false;
    };
    [[nodiscard]] std::wstring_view ValueOf(const Entry& entry, Value value) const;
    Entry Store(const RecordFields& fields);

    std::wstring text_;
    std::vector<Entry> entries_;
    std::wstring scratch_;
    bool hasPending_ = false;
};

// The text of the report when a list could not be walked: the translated
// "The xml file format error!", CR LF and, for a server list, the list URL,
// otherwise the error's message. Empty when a non-server error has no
// message (nothing is shown then).
[[nodiscard]] std::wstring ListFormatErrorText(const std::wstring& translatedError, bool serverList,
                                               const std::wstring& listUrl, const std::wstring& errorMessage);

}  // namespace mf
