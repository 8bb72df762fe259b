// What the command-line tools share: their options and their input files.
#pragma once

#include <fstream>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/strings.h"

namespace mf::tools {

// A tool's command line: the options that take a value ("-t 8"; the last one
// given counts) and the other arguments in their order. An option at the
// end, without its value, is an ordinary argument.
struct ToolArguments {
    std::map<std::wstring, std::wstring, std::less<>> options;
    std::vector<std::wstring> positional;

    [[nodiscard]] std::wstring Text(std::wstring_view option, const std::wstring& fallback = {}) const {
        const auto it = options.find(option);
        return it == options.end() ? fallback : it->second;
    }
    [[nodiscard]] int Number(std::wstring_view option, int fallback) const {
        const auto it = options.find(option);
        return it == options.end() ? fallback : static_cast<int>(ParseLong(it->second));
    }
};

inline ToolArguments ParseToolArguments(int argc, wchar_t** argv, std::initializer_list<std::wstring_view> valued) {
    ToolArguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        bool takesValue = false;
        for (std::wstring_view option : valued) takesValue = takesValue || arg == option;
        if (takesValue && i + 1 < argc) {
            arguments.options[arg] = argv[++i];
        } else {
            arguments.positional.push_back(arg);
        }
    }
    return arguments;
}

// The lines of a UTF-8 text file, without their line ends (CRLF or LF);
// none when it cannot be read.
inline std::vector<std::wstring> ReadUtf8Lines(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::vector<std::wstring> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(Widen(line, CodePage::Utf8));
    }
    return lines;
}

}  // namespace mf::tools
