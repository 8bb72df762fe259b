// The release manifest: an optional ini file, "mirefold-publish.ini" at the
// top of the release folder, that says what the list asks of each file beyond
// installing it, which files installations must delete, which commands run
// and what message users see. The format is documented in README.md.
//
// Parsing is strict: an unknown section or key, a key given twice or a value
// that is not what the key takes is an error naming the line, so a typing
// mistake never publishes a release that silently lacks what was meant.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mf::publish {

inline constexpr const wchar_t* kManifestName = L"mirefold-publish.ini";

// [file:PATH]
struct FileSettings {
    std::wstring path;  // as written, "/" turned into "\"
    int line = 0;
    std::wstring desname;
    std::wstring shortcut;
    std::wstring shortcuticon;
    std::wstring iconindex;
    bool run = false;
    bool registerFile = false;
    bool restart = false;
};

// [delete]: one path a line.
struct DeletedPath {
    std::wstring path;
    int line = 0;
};

// [command:LABEL]
struct CommandSettings {
    std::wstring label;
    int line = 0;
    std::wstring path;
    std::wstring param;
    bool wait = false;
    std::wstring key;
};

struct Manifest {
    std::wstring fileUrl;                    // [list] fileurl
    std::vector<std::wstring> messageLines;  // [message]
    std::vector<FileSettings> files;
    std::vector<DeletedPath> deleted;
    std::vector<CommandSettings> commands;  // in the order they are to run
};

// The manifest's bytes as text: UTF-16LE or UTF-8 with a byte-order mark,
// UTF-8 without one, or else the ANSI code page (an ini file saved by an old
// editor).
[[nodiscard]] std::wstring DecodeManifest(std::string_view bytes);

// Parses the text. On failure returns false with `error` = "LINE: what".
bool ParseManifest(std::wstring_view text, Manifest& manifest, std::wstring& error);

// True when the text can stand in an XML document (no control characters
// other than tab, no lone surrogates, no U+FFFE/U+FFFF).
[[nodiscard]] bool IsXmlText(std::wstring_view text);

}  // namespace mf::publish
