#include "list_writer.h"

#include <algorithm>
#include <iterator>

#include "base/strings.h"
#include "list/release_marks.h"
#include "list/update_file_info.h"

namespace mf::publish {

namespace {

// Attribute values keep tabs only as character references (a parser turns
// a literal tab into a space).
struct Reference {
    wchar_t character;
    const wchar_t* text;
};
constexpr Reference kReferences[] = {
    {L'&', L"&amp;"}, {L'<', L"&lt;"}, {L'>', L"&gt;"}, {L'"', L"&quot;"}, {L'\t', L"&#9;"}};

std::wstring Escaped(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        const auto reference = std::find_if(std::begin(kReferences), std::end(kReferences),
                                            [c](const Reference& r) { return r.character == c; });
        if (reference != std::end(kReferences)) {
            out += reference->text;
        } else {
            out += c;
        }
    }
    return out;
}

class Element {
public:
    explicit Element(const wchar_t* name) : text_(L"  <") { text_ += name; }
    Element& Attribute(const wchar_t* name, const std::wstring& value, bool evenEmpty = false) {
        if (value.empty() && !evenEmpty) return *this;
        text_ += L' ';
        text_ += name;
        text_ += L"=\"" + Escaped(value) + L'"';
        return *this;
    }
    [[nodiscard]] std::wstring Closed() const { return text_ + L"/>\r\n"; }

private:
    std::wstring text_;
};

}  // namespace

std::wstring OperText(const FileSettings& settings) {
    std::wstring text;
    auto add = [&](const wchar_t* word) { text += (text.empty() ? L"" : L" ") + std::wstring(word); };
    if (settings.run) add(L"run");
    if (settings.registerFile) add(L"reg");
    if (settings.restart) add(L"boot");
    return text;
}

std::string BuildList(const std::vector<ListedFile>& files, const Manifest& manifest,
                      const std::wstring& rootAttributes) {
    std::wstring xml =
        L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<update hash=\"md5\"" + rootAttributes + L">\r\n";
    if (!manifest.fileUrl.empty()) xml += L"  <fileurl>" + Escaped(manifest.fileUrl) + L"</fileurl>\r\n";
    if (!manifest.messageLines.empty()) {
        std::wstring message;
        for (const std::wstring& line : manifest.messageLines) message += (message.empty() ? L"" : L"\\n") + line;
        xml += L"  <description>" + Escaped(message) + L"</description>\r\n";
    }
    for (const ListedFile& file : files) {
        Element e(L"file");
        e.Attribute(L"path", file.path)
            .Attribute(L"md5", file.md5)
            .Attribute(kSha256Attribute, file.sha256)
            .Attribute(kZipAttribute, ZipHintValue(file.zipVariant));
        if (const FileSettings* s = file.settings) {
            e.Attribute(L"oper", OperText(*s))
                .Attribute(L"desname", s->desname)
                .Attribute(L"shortcut", s->shortcut)
                .Attribute(L"shortcuticon", s->shortcuticon)
                .Attribute(L"iconindex", s->iconindex);
        }
        xml += e.Closed();
    }
    for (const DeletedPath& deleted : manifest.deleted)
        xml += Element(L"file")
                   .Attribute(L"path", deleted.path)
                   .Attribute(L"ver", kDeletedKey)
                   .Attribute(L"oper", L"del")
                   .Closed();
    for (auto c = manifest.commands.rbegin(); c != manifest.commands.rend(); ++c) {
        xml += Element(L"run")
                   .Attribute(L"path", c->path)
                   .Attribute(L"param", c->param)
                   .Attribute(L"wait", c->wait ? L"1" : L"0")
                   .Attribute(L"key", c->key)
                   .Closed();
    }
    xml += L"</update>\r\n";
    return Narrow(xml, CodePage::Utf8);
}

}  // namespace mf::publish
