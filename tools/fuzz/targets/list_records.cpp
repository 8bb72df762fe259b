// The attributes of an update list's elements turned into records, as the
// list reader hands them over: the root's hash marker, then one element a
// line. A line is "name|attr=value|attr=value|...|text" in UTF-16; the name
// decides the element ("file", "description", "run" or none), the last field
// is its text. The records are kept as a list keeps them and read back.
#include <vector>

#include "base/strings.h"
#include "check/list_records.h"
#include "fuzz_input.h"

namespace {

void Element(std::wstring_view line, mf::ListRecordBuilder& builder, mf::ListEntries& entries) {
    const std::vector<std::wstring> fields = mf::Split(line, L'|');
    std::vector<mf::AttributeView> attributes;
    for (std::size_t i = 1; i + 1 < fields.size(); ++i) {
        const std::wstring_view field = fields[i];
        const std::size_t equals = field.find(L'=');
        attributes.push_back({field.substr(0, equals),
                              equals == std::wstring_view::npos ? std::wstring_view() : field.substr(equals + 1)});
    }
    const std::wstring_view text = fields.size() > 1 ? std::wstring_view(fields.back()) : std::wstring_view();
    const mf::RecordFields* fromElement = builder.FromElement(mf::RecordElementOf(fields[0]), attributes, text);
    if (fromElement == nullptr) return;
    (void)mf::ToRecord(*fromElement);
    // Messages take a place first and are filled at their end.
    if (mf::RecordElementOf(fields[0]) == mf::RecordElement::Description) {
        entries.Fill(entries.AppendPlace(), *fromElement);
    } else {
        entries.Append(*fromElement);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = mf::fuzz::Utf16Text(data, size);
    const std::vector<std::wstring> lines = mf::Split(text, L'\n');
    mf::ListRecordBuilder builder;
    builder.SetListHash(lines[0]);
    mf::ListEntries entries;
    for (std::size_t i = 1; i < lines.size(); ++i) Element(lines[i], builder, entries);
    entries.Finish();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const mf::ListEntries::Key key = entries[i];
        const mf::updatefileinfo record = entries.Record(i);
        if (key.path != record.path || key.ver != record.ver || key.oper != record.oper)
            mf::fuzz::Broken("a kept entry differs from its record");
    }
    (void)mf::PathFromUrl(text);
    (void)mf::ListElementText(text);
    return 0;
}
