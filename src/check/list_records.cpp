#include "check/list_records.h"

#include <algorithm>
#include <functional>

#include "base/strings.h"
#include "list/download_list.h"
#include "list/oper_flags.h"
#include "list/release_marks.h"
#include "list/run_command.h"

namespace mf {

namespace {

// The fields of a file record that come from attributes.
enum class Field : std::uint8_t {
    Ver, Md5, Oper, Path, Url, Shortcut, ShortcutIcon, IconIndex, DesName, Hash, Zip, Sha256 };
constexpr std::size_t kFieldCount = 12;

struct AttributeForm {
    std::wstring_view name;
    Field field;
    int rank;  // the form's place among the forms of its field: lower is tried first
};

// Every accepted form of every attribute of a file element. Where a field
// has several forms, the first non-empty one in this order wins; the
// version key is "ver", "Ver", and only when both are empty "md5", "MD5".
constexpr AttributeForm kFileForms[] = {
    {L"ver", Field::Ver, 0},
    {L"Ver", Field::Ver, 1},
    {L"md5", Field::Md5, 0},
    {L"MD5", Field::Md5, 1},
    {L"oper", Field::Oper, 0},
    {L"Oper", Field::Oper, 1},
    {L"OPER", Field::Oper, 2},
    {L"do", Field::Oper, 3},
    {L"Do", Field::Oper, 4},
    {L"DO", Field::Oper, 5},
    {L"Action", Field::Oper, 6},
    {L"action", Field::Oper, 7},
    {L"ACTION", Field::Oper, 8},
    {L"Activity", Field::Oper, 9},
    {L"activity", Field::Oper, 10},
    {L"ACTIVITY", Field::Oper, 11},
    {L"path", Field::Path, 0},
    {L"Path", Field::Path, 1},
    {L"File", Field::Path, 2},
    {L"file", Field::Path, 3},
    {L"Name", Field::Path, 4},
    {L"name", Field::Path, 5},
    {L"URL", Field::Url, 0},
    {L"url", Field::Url, 1},
    {L"Url", Field::Url, 2},
    {L"shortcut", Field::Shortcut, 0},
    {L"ShortCut", Field::Shortcut, 1},
    {L"SHORTCUT", Field::Shortcut, 2},
    {L"shortcuticon", Field::ShortcutIcon, 0},
    {L"shorticon", Field::ShortcutIcon, 1},
    {L"ShortCutIcon", Field::ShortcutIcon, 2},
    {L"SHORTCUTICON", Field::ShortcutIcon, 3},
    {L"SHORTICON", Field::ShortcutIcon, 4},
    {L"iconindex", Field::IconIndex, 0},
    {L"ICONINDEX", Field::IconIndex, 1},
    {L"IconIndex", Field::IconIndex, 2},
    {L"shortcuticonindex", Field::IconIndex, 3},
    {L"SHORTCUTICONINDEX", Field::IconIndex, 4},
    {L"DesName", Field::DesName, 0},
    {L"desname", Field::DesName, 1},
    {L"dstname", Field::DesName, 2},
    {L"DstName", Field::DesName, 3},
    {L"hash", Field::Hash, 0},
    {kZipAttribute, Field::Zip, 0},
    {kSha256Attribute, Field::Sha256, 0},
};
constexpr int kFormCount = static_cast<int>(std::size(kFileForms));
static_assert(kFormCount <= 64, "the forms seen are kept as bits of one 64-bit word");

// Index into kFileForms, or -1 for a name that is none of the forms.
int FormIndex(std::wstring_view name) {
    for (int i = 0; i < kFormCount; ++i)
        if (kFileForms[i].name.size() == name.size() && kFileForms[i].name == name) return i;
    return -1;
}

// For each field, the value of its best form that is present and not empty.
struct FileAttributes {
    std::wstring_view values[kFieldCount];

    [[nodiscard]] std::wstring_view operator[](Field field) const { return values[static_cast<std::size_t>(field)]; }

    explicit FileAttributes(AttributeViews attributes) {
        int rank[kFieldCount];
        std::fill(std::begin(rank), std::end(rank), kFormCount);
        std::uint64_t seen = 0;
        for (const AttributeView& attribute : attributes) {
            const int form = FormIndex(attribute.name);
            if (form < 0) continue;
            // Only the first attribute of a name counts, as a look-up by name
            // finds it (a reader does not pass two of one name anyway).
            const std::uint64_t bit = std::uint64_t{1} << form;
            if ((seen & bit) != 0) continue;
            seen |= bit;
            const AttributeForm& f = kFileForms[form];
            const auto field = static_cast<std::size_t>(f.field);
            if (attribute.value.empty() || f.rank >= rank[field]) continue;
            rank[field] = f.rank;
            values[field] = attribute.value;
        }
    }
};

}  // namespace

std::wstring_view AttributeValue(AttributeViews attributes, std::wstring_view name) {
    for (const AttributeView& attribute : attributes)
        if (attribute.name == name) return attribute.value;
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

bool DeclaresMd5Keys(std::wstring_view hashValue) { return EqualsNoCase(Trim(hashValue), kMd5HashValue); }

RecordElement RecordElementOf(std::wstring_view name) {
    if (name == kFileElement) return RecordElement::File;
    if (name == kDescriptionElement) return RecordElement::Description;
    if (name == kRunElement) return RecordElement::Run;
    return RecordElement::None;
}

bool SeenPaths::Insert(std::wstring_view key) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    const auto hash = static_cast<std::uint32_t>(std::hash<std::wstring_view>{}(key));
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = slots_[i];
        if (slot.length == kFree) {
            slot = {hash, static_cast<std::uint32_t>(keys_.size()), static_cast<std::uint32_t>(key.size())};
            keys_.append(key);
            ++count_;
            return true;
        }
        if (slot.hash == hash && std::wstring_view(keys_).substr(slot.offset, slot.length) == key) return false;
    }
}

void SeenPaths::Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.length == kFree) continue;
        std::size_t i = slot.hash & mask;
        while (slots_[i].length != kFree) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

const RecordFields* ListRecordBuilder::FromElement(RecordElement element, AttributeViews attributes,
                                                   std::wstring_view text) {
    switch (element) {
        case RecordElement::Description:
            path_ = ListElementText(std::wstring(text));
            fields_ = RecordFields{};
            fields_.path = fields_.desname = path_;
            fields_.ver = kNonFileVersion;
            fields_.oper = OPER_DESCRIPTION;
            return &fields_;
        case RecordElement::Run: {
            auto attribute = [&](std::wstring_view name) { return std::wstring(AttributeValue(attributes, name)); };
            path_ = JoinRunCommand({attribute(L"path"), attribute(L"param"), attribute(L"wait"), attribute(L"key")});
            fields_ = RecordFields{};
            fields_.path = fields_.desname = path_;
            fields_.ver = kNonFileVersion;
            fields_.oper = OPER_COMMAND;
            return &fields_;
        }
        case RecordElement::File:
            return FileRecord(attributes);
        case RecordElement::None:
            break;
    }
    return nullptr;
}

const RecordFields* ListRecordBuilder::FileRecord(AttributeViews attributes) {
    const FileAttributes found(attributes);
    std::wstring_view path = found[Field::Path];
    std::wstring_view url = found[Field::Url];

    lowerPath_.assign(path);
    LowerInPlace(lowerPath_);
    if (StartsWith(lowerPath_, L"http:") || StartsWith(lowerPath_, L"https:")) {
        url = path;
        path = {};
    }
    if (!url.empty() && path.empty()) {
        path_ = PathFromUrl(std::wstring(url));
        path = path_;
        lowerPath_.assign(path);
        LowerInPlace(lowerPath_);
    } else if (path.empty()) {
        lowerPath_.clear();
    }
    if (!seenPaths_.Insert(lowerPath_)) return nullptr;

    fields_ = RecordFields{};
    if (!found[Field::Ver].empty()) {
        fields_.ver = found[Field::Ver];
    } else if (!found[Field::Md5].empty()) {
        fields_.ver = found[Field::Md5];
        const std::wstring_view ownHash = found[Field::Hash];
        fields_.md5key = ownHash.empty() ? listMd5Keys_ : DeclaresMd5Keys(ownHash);
    }
    if (!found[Field::Oper].empty()) fields_.oper = ParseOperFlags(found[Field::Oper]);
    fields_.path = path;
    fields_.url = url;
    fields_.shortcut = found[Field::Shortcut];
    fields_.shortcuticon = found[Field::ShortcutIcon];
    fields_.iconindex = found[Field::IconIndex];
    fields_.desname = found[Field::DesName];
    fields_.zip = ZipHintOf(found[Field::Zip]);
    fields_.sha256 = found[Field::Sha256];
    return &fields_;
}

updatefileinfo ToRecord(const RecordFields& fields) {
    updatefileinfo record;
    record.url = fields.url;
    record.path = fields.path;
    record.desname = fields.desname;
    record.ver = fields.ver;
    record.shortcut = fields.shortcut;
    record.shortcuticon = fields.shortcuticon;
    record.iconindex = fields.iconindex;
    record.oper = fields.oper;
    record.md5key = fields.md5key;
    record.zip = fields.zip;
    record.sha256 = ToLower(Trim(fields.sha256));
    return record;
}

void ListEntries::Reserve(std::size_t entries, std::size_t characters) {
    // Reserved memory that is never written is never touched, so an upper
    // bound costs nothing.
    entries_.reserve(entries);
    text_.reserve(characters);
}

ListEntries::Entry ListEntries::Store(const RecordFields& fields) {
    Entry entry;
    entry.start = static_cast<std::uint32_t>(text_.size());
    auto add = [&](Value value, std::wstring_view text) {
        text_.append(text);
        entry.length[static_cast<std::size_t>(value)] = static_cast<std::uint32_t>(text.size());
    };
    add(Value::Url, fields.url);
    scratch_.assign(fields.path);
    NormaliseListPath(scratch_);
    add(Value::Path, scratch_);
    add(Value::Desname, fields.desname);
    scratch_.assign(fields.ver);
    NormaliseListKey(scratch_);
    add(Value::Ver, scratch_);
    add(Value::Shortcut, fields.shortcut);
    add(Value::ShortcutIcon, fields.shortcuticon);
    add(Value::IconIndex, fields.iconindex);
    add(Value::Sha256, fields.sha256);
    entry.oper = fields.oper;
    entry.md5key = fields.md5key;
    entry.zip = fields.zip;
    return entry;
}

void ListEntries::Append(const RecordFields& fields) { entries_.push_back(Store(fields)); }

std::size_t ListEntries::AppendPlace() {
    Entry entry;
    entry.start = static_cast<std::uint32_t>(text_.size());
    entry.pending = true;
    entries_.push_back(entry);
    hasPending_ = true;
    return entries_.size() - 1;
}

void ListEntries::Fill(std::size_t place, const RecordFields& fields) { entries_.at(place) = Store(fields); }

void ListEntries::Finish() {
    if (!hasPending_) return;
    std::erase_if(entries_, [](const Entry& entry) { return entry.pending; });
    hasPending_ = false;
}

std::wstring_view ListEntries::ValueOf(const Entry& entry, Value value) const {
    const auto index = static_cast<std::size_t>(value);
    std::size_t offset = entry.start;
    for (std::size_t i = 0; i < index; ++i) offset += entry.length[i];
    return std::wstring_view(text_).substr(offset, entry.length[index]);
}

ListEntries::Key ListEntries::operator[](std::size_t index) const {
    const Entry& entry = entries_[index];
    return {ValueOf(entry, Value::Path), ValueOf(entry, Value::Ver), entry.oper, index};
}

updatefileinfo ListEntries::Record(std::size_t index) const {
    const Entry& entry = entries_.at(index);
    RecordFields fields;
    fields.url = ValueOf(entry, Value::Url);
    fields.path = ValueOf(entry, Value::Path);
    fields.desname = ValueOf(entry, Value::Desname);
    fields.ver = ValueOf(entry, Value::Ver);
    fields.shortcut = ValueOf(entry, Value::Shortcut);
    fields.shortcuticon = ValueOf(entry, Value::ShortcutIcon);
    fields.iconindex = ValueOf(entry, Value::IconIndex);
    fields.sha256 = ValueOf(entry, Value::Sha256);
    fields.oper = entry.oper;
    fields.md5key = entry.md5key;
    fields.zip = entry.zip;
    return ToRecord(fields);
}

std::wstring ListFormatErrorText(const std::wstring& translatedError, bool serverList, const std::wstring& listUrl,
                                 const std::wstring& errorMessage) {
    if (serverList) return translatedError + L"\r\n" + listUrl;
    if (errorMessage.empty()) return {};
    return translatedError + L"\r\n" + errorMessage;
}

}  // namespace mf
