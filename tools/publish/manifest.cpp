#include "manifest.h"

#include <functional>
#include <map>
#include <set>

#include "base/strings.h"

namespace mf::publish {

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        int more = 0;
        unsigned min = 0, value = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1, min = 0x80, value = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, min = 0x800, value = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, min = 0x10000, value = c & 0x07;
        } else {
            return false;
        }
        if (i + more >= bytes.size()) return false;
        for (int k = 1; k <= more; ++k) {
            const auto d = static_cast<unsigned char>(bytes[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            value = (value << 6) | (d & 0x3F);
        }
        if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

std::wstring Utf16LeText(std::string_view bytes) {
    std::wstring text(bytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return text;
}

std::wstring LineError(int line, const std::wstring& what) {
    return ToWString(line) + L": " + what;
}

// "yes"/"no" and their usual spellings; anything else is a mistake.
bool ParseYesNo(const std::wstring& value, bool& result) {
    const std::wstring v = ToLower(value);
    if (v == L"yes" || v == L"true" || v == L"1" || v == L"on") return result = true, true;
    if (v == L"no" || v == L"false" || v == L"0" || v == L"off") return result = false, true;
    return false;
}

bool IsInteger(const std::wstring& value) {
    std::size_t i = value.size() > 0 && value[0] == L'-' ? 1 : 0;
    if (i == value.size()) return false;
    for (; i < value.size(); ++i)
        if (value[i] < L'0' || value[i] > L'9') return false;
    return true;
}

std::wstring Unquoted(std::wstring value) {
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') return value.substr(1, value.size() - 2);
    return value;
}

enum class SectionKind { None, List, Message, File, Delete, Command };

struct Section {
    SectionKind kind = SectionKind::None;
    std::wstring title;               // as written between the brackets
    std::set<std::wstring> keysSeen;  // lower-cased
};

class Parser {
public:
    explicit Parser(Manifest& manifest) : m_(manifest) {}

    bool Line(int number, std::wstring_view raw, std::wstring& error) {
        line_ = number;
        const std::wstring text = Trim(raw);
        if (text.empty() || text[0] == L';' || text[0] == L'#') return true;
        if (!IsXmlText(text)) return Fail(error, L"the line holds characters that a list cannot carry");
        if (text.front() == L'[' && text.back() == L']') return BeginSection(text.substr(1, text.size() - 2), error);
        switch (section_.kind) {
            case SectionKind::None:
                return Fail(error, L"\"" + text + L"\" comes before any section");
            case SectionKind::Message:
                m_.messageLines.push_back(text);
                return true;
            case SectionKind::Delete:
                return AddDeleted(text, error);
            default:
                return KeyValue(text, error);
        }
    }

    bool Finish(std::wstring& error) {
        for (const CommandSettings& c : m_.commands)
            if (c.path.empty()) {
                line_ = c.line;
                return Fail(error, L"[command:" + c.label + L"] has no path");
            }
        return true;
    }

private:
    bool Fail(std::wstring& error, const std::wstring& what) const {
        error = LineError(line_, what);
        return false;
    }

    bool BeginSection(const std::wstring& title, std::wstring& error) {
        section_ = Section{};
        section_.title = title;
        const std::wstring trimmed = Trim(title);
        const std::size_t colon = trimmed.find(L':');
        const std::wstring kind = ToLower(Trim(trimmed.substr(0, colon)));
        const std::wstring argument = colon == std::wstring::npos ? std::wstring() : Trim(trimmed.substr(colon + 1));
        const bool hasArgument = colon != std::wstring::npos;
        std::wstring once;
        if (kind == L"list" && !hasArgument) {
            section_.kind = SectionKind::List;
            once = L"list";
        } else if (kind == L"message" && !hasArgument) {
            section_.kind = SectionKind::Message;
            once = L"message";
        } else if (kind == L"delete" && !hasArgument) {
            section_.kind = SectionKind::Delete;
            once = L"delete";
        } else if (kind == L"file" && hasArgument) {
            if (argument.empty()) return Fail(error, L"[file:] names no path");
            section_.kind = SectionKind::File;
            FileSettings file;
            file.path = Replaced(argument, L"/", L"\\");
            file.line = line_;
            once = L"file:" + ToLower(file.path);
            m_.files.push_back(std::move(file));
        } else if (kind == L"command" && hasArgument) {
            if (argument.empty()) return Fail(error, L"[command:] has no label");
            section_.kind = SectionKind::Command;
            CommandSettings command;
            command.label = argument;
            command.line = line_;
            once = L"command:" + ToLower(argument);
            m_.commands.push_back(std::move(command));
        } else {
            return Fail(error, L"unknown section [" + title +
                                   L"] (known: [list], [message], [file:PATH], [delete], [command:LABEL])");
        }
        if (!sectionsSeen_.insert(once).second) return Fail(error, L"section [" + title + L"] is given twice");
        return true;
    }

    bool AddDeleted(const std::wstring& text, std::wstring& error) {
        const std::wstring path = Replaced(text, L"/", L"\\");
        for (const DeletedPath& d : m_.deleted)
            if (EqualsNoCase(d.path, path)) return Fail(error, L"\"" + text + L"\" is listed twice in [delete]");
        m_.deleted.push_back({path, line_});
        return true;
    }

    bool KeyValue(const std::wstring& text, std::wstring& error) {
        const std::size_t equals = text.find(L'=');
        if (equals == std::wstring::npos) return Fail(error, L"\"" + text + L"\" is not key=value");
        const std::wstring key = ToLower(Trim(text.substr(0, equals)));
        const std::wstring value = Unquoted(Trim(text.substr(equals + 1)));
        const std::wstring where = L" in [" + section_.title + L"]";
        if (!section_.keysSeen.insert(key).second) return Fail(error, L"key \"" + key + L"\" is given twice" + where);
        switch (section_.kind) {
            case SectionKind::List:
                if (key == L"fileurl") return m_.fileUrl = value, true;
                return Unknown(error, key, where, L"fileurl");
            case SectionKind::File:
                return FileKey(m_.files.back(), key, value, where, error);
            case SectionKind::Command:
                return CommandKey(m_.commands.back(), key, value, where, error);
            default:
                return Fail(error, L"\"" + text + L"\" does not belong" + where);
        }
    }

    bool Unknown(std::wstring& error, const std::wstring& key, const std::wstring& where, const wchar_t* known) const {
        return Fail(error, L"unknown key \"" + key + L"\"" + where + L" (known: " + known + L")");
    }

    bool YesNo(const std::wstring& key, const std::wstring& value, const std::wstring& where, bool& target,
               std::wstring& error) const {
        if (ParseYesNo(value, target)) return true;
        return Fail(error, key + L" must be yes or no, not \"" + value + L"\"" + where);
    }

    bool FileKey(FileSettings& file, const std::wstring& key, const std::wstring& value, const std::wstring& where,
                 std::wstring& error) {
        if (key == L"desname") return file.desname = value, true;
        if (key == L"shortcut") return file.shortcut = value, true;
        if (key == L"shortcuticon") return file.shortcuticon = value, true;
        if (key == L"iconindex") {
            if (!IsInteger(value)) return Fail(error, L"iconindex must be a number, not \"" + value + L"\"" + where);
            return file.iconindex = value, true;
        }
        if (key == L"run") return YesNo(key, value, where, file.run, error);
        if (key == L"register") return YesNo(key, value, where, file.registerFile, error);
        if (key == L"restart") return YesNo(key, value, where, file.restart, error);
        return Unknown(error, key, where, L"desname, shortcut, shortcuticon, iconindex, run, register, restart");
    }

    bool CommandKey(CommandSettings& command, const std::wstring& key, const std::wstring& value,
                    const std::wstring& where, std::wstring& error) {
        if (key == L"path") return command.path = value, true;
        if (key == L"param") return command.param = value, true;
        if (key == L"key") return command.key = value, true;
        if (key == L"wait") return YesNo(key, value, where, command.wait, error);
        return Unknown(error, key, where, L"path, param, wait, key");
    }

    Manifest& m_;
    Section section_;
    std::set<std::wstring> sectionsSeen_;
    int line_ = 0;
};

}  // namespace

bool IsXmlText(std::wstring_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c < 0x20 && c != L'\t') return false;
        if (c == 0xFFFE || c == 0xFFFF) return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

std::wstring DecodeManifest(std::string_view bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') return Utf16LeText(bytes.substr(2));
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") return Widen(bytes.substr(3), CodePage::Utf8);
    return Widen(bytes, IsUtf8(bytes) ? CodePage::Utf8 : CodePage::Ansi);
}

bool ParseManifest(std::wstring_view text, Manifest& manifest, std::wstring& error) {
    manifest = Manifest{};
    Parser parser(manifest);
    int number = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring_view::npos) end = text.size();
        std::wstring_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
        if (!parser.Line(++number, line, error)) return false;
        start = end + 1;
    }
    return parser.Finish(error);
}

}  // namespace mf::publish
