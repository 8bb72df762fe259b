// The process-wide list of records the current update has to process, with
// the list-level values the later phases need and the update status that the
// notification windows follow.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/update_status.h"
#include "list/list_archive.h"
#include "list/update_file_info.h"

namespace mf {

inline constexpr const wchar_t* kDefaultFileUrlTemplate = L"{listurl-base}/{filename}";
// Ends the values map in a saved list.
inline constexpr const wchar_t* kValuesEndKey = L"!-end------";
// The values-map entry of a saved list that names the records whose key is
// a content digest (`md5key`): their indices, in decimal, comma-separated.
// Kept in the map so that the saved layout stays as it was: an older engine
// reads such a list (and ignores the entry), and a list saved by an older
// engine reads as one without digest keys.
inline constexpr const wchar_t* kMd5KeysValue = L"mirefold.md5keys";
// Likewise the records' SHA-256 digests (`sha256`): "index=digest" pairs,
// comma-separated.
inline constexpr const wchar_t* kSha256KeysValue = L"mirefold.sha256keys";

class DownLoadList {
public:
    DownLoadList() = default;
    DownLoadList(const DownLoadList& other);
    DownLoadList& operator=(const DownLoadList& other);

    // The records.
    [[nodiscard]] int GetSize() const { return static_cast<int>(records_.size()); }
    [[nodiscard]] bool IsEmpty() const { return records_.empty(); }
    updatefileinfo& operator[](int index) { return records_.at(static_cast<std::size_t>(index)); }
    const updatefileinfo& operator[](int index) const { return records_.at(static_cast<std::size_t>(index)); }
    updatefileinfo& ElementAt(int index) { return (*this)[index]; }
    [[nodiscard]] const updatefileinfo& GetAt(int index) const { return (*this)[index]; }
    // Appends; returns the new index.
    int Add(const updatefileinfo& record);
    // Stores at the index, growing the array when the index is at or beyond
    // its end.
    void SetAtGrow(int index, const updatefileinfo& record);
    void RemoveAt(int index);
    // 0 empties the array.
    void SetSize(int size);
    [[nodiscard]] const std::vector<updatefileinfo>& Records() const { return records_; }

    // Appends a record of a list being read, under the list lock: the
    // version key lower-cased and trimmed; in the path "|" becomes "\",
    // "._.zip" is removed and white space trimmed. `desname` is kept.
    void AddListRecord(updatefileinfo record);
    // The same for the records of a whole list, under one hold of the lock.
    void AddListRecords(std::vector<updatefileinfo> records);
    // The same for records whose path and key were normalised already.
    void AddNormalisedListRecords(std::vector<updatefileinfo> records);

    // The update status as last set.
    [[nodiscard]] UpdateStatus Status() const { return status_.load(); }
    void SetStatus(UpdateStatus status) { status_.store(status); }

    // After a check: takes the message records out into `messageText` (list
    // order, CR LF after each) and the command records into `commands`
    // (reverse list order); file records stay.
    void FinishCheckedList();

    // Writes or reads the whole list, as the archive's direction says.
    // Reading appends the records; false when the stream ends early or is
    // damaged, keeping what was read before that point.
    bool Serialize(ListArchive& archive);

    bool SaveToFile(const std::wstring& path);
    // False when the file cannot be read or is damaged (see Serialize).
    bool LoadFromFile(const std::wstring& path);

    std::wstring messageText;
    std::map<std::wstring, std::wstring> values;
    std::wstring baseUrl;
    std::wstring fileUrlTemplate = kDefaultFileUrlTemplate;
    std::wstring listPath;
    std::wstring listIdentifier;
    std::wstring versionText;
    std::vector<std::wstring> listUrls;
    std::vector<std::wstring> commands;

private:
    bool Store(ListArchive& archive) const;
    bool Load(ListArchive& archive);
    bool LoadParts(ListArchive& archive, std::wstring& digestKeys, std::wstring& sha256Keys);

    std::vector<updatefileinfo> records_;
    std::atomic<UpdateStatus> status_{UpdateStatus::None};
};

// The normalisation of a list record's path ("|" becomes "\", "._.zip" is
// removed, white space trimmed) and of its version key (lower-cased and
// trimmed), done in place.
void NormaliseListPath(std::wstring& path);
void NormaliseListKey(std::wstring& ver);

// The message text rule: "\r\n" and then "\n" (backslash sequences) become
// CR LF.
[[nodiscard]] std::wstring ExpandMessageLineBreaks(std::wstring text);

}  // namespace mf
