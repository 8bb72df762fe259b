#include "list/download_list.h"

#include "base/files.h"
#include "base/named_lock.h"
#include "base/strings.h"

namespace mf {

DownLoadList::DownLoadList(const DownLoadList& other)
    : messageText(other.messageText), values(other.values), baseUrl(other.baseUrl),
      fileUrlTemplate(other.fileUrlTemplate), listPath(other.listPath), listIdentifier(other.listIdentifier),
      versionText(other.versionText), listUrls(other.listUrls), commands(other.commands), records_(other.records_),
      status_(other.status_.load()) {}

DownLoadList& DownLoadList::operator=(const DownLoadList& other) {
    if (this == &other) return *this;
    messageText = other.messageText;
    values = other.values;
    baseUrl = other.baseUrl;
    fileUrlTemplate = other.fileUrlTemplate;
    listPath = other.listPath;
    listIdentifier = other.listIdentifier;
    versionText = other.versionText;
    listUrls = other.listUrls;
    commands = other.commands;
    records_ = other.records_;
    status_.store(other.status_.load());
    return *this;
}

int DownLoadList::Add(const updatefileinfo& record) {
    records_.push_back(record);
    return GetSize() - 1;
}

void DownLoadList::SetAtGrow(int index, const updatefileinfo& record) {
    if (index < 0) return;
    if (static_cast<std::size_t>(index) >= records_.size()) records_.resize(static_cast<std::size_t>(index) + 1);
    records_[static_cast<std::size_t>(index)] = record;
}

void DownLoadList::RemoveAt(int index) {
    if (index < 0 || index >= GetSize()) return;
    records_.erase(records_.begin() + index);
}

void DownLoadList::SetSize(int size) { records_.resize(size < 0 ? 0 : static_cast<std::size_t>(size)); }

namespace {
void NormaliseListRecord(updatefileinfo& record) {
    NormaliseListKey(record.ver);
    NormaliseListPath(record.path);
}
}  // namespace

void DownLoadList::AddListRecord(updatefileinfo record) {
    NormaliseListRecord(record);
    ScopedNamedLock lock(lock_id::kList);
    records_.push_back(std::move(record));
}

void DownLoadList::AddListRecords(std::vector<updatefileinfo> records) {
    for (updatefileinfo& record : records) NormaliseListRecord(record);
    AddNormalisedListRecords(std::move(records));
}

void DownLoadList::AddNormalisedListRecords(std::vector<updatefileinfo> records) {
    ScopedNamedLock lock(lock_id::kList);
    // A list read into an empty array takes the records over whole instead
    // of moving them one by one.
    if (records_.empty()) {
        records_ = std::move(records);
        return;
    }
    records_.reserve(records_.size() + records.size());
    for (updatefileinfo& record : records) records_.push_back(std::move(record));
}

void DownLoadList::FinishCheckedList() {
    std::wstring messages;
    for (int i = GetSize() - 1; i >= 0; --i) {
        const updatefileinfo& record = records_[static_cast<std::size_t>(i)];
        if (record.oper == OPER_DESCRIPTION) {
            messages.insert(0, record.desname + L"\r\n");
            RemoveAt(i);
        } else if (record.oper == OPER_COMMAND) {
            commands.push_back(record.path);
            RemoveAt(i);
        }
    }
    messageText = ExpandMessageLineBreaks(std::move(messages));
}

bool DownLoadList::SaveToFile(const std::wstring& path) {
    ListArchive archive;
    Serialize(archive);
    return WriteWholeFile(path, archive.Bytes());
}

bool DownLoadList::LoadFromFile(const std::wstring& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return false;
    ListArchive archive(std::move(bytes));
    return Serialize(archive);
}

}  // namespace mf
