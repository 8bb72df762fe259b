#include "base/xml_input.h"

#include <cstddef>
#include <vector>

namespace mf::xml {

namespace {

// Where line breaks go: before unit index i of the document, for every i
// returned, in increasing order.
template <class Unit>
std::vector<std::size_t> BreakPoints(std::size_t count, Unit unit) {
    enum class State { Text, Tag, Comment, CData, Instruction };
    auto at = [&](std::size_t i, std::string_view ascii) {
        for (std::size_t k = 0; k < ascii.size(); ++k)
            if (i + k >= count || unit(i + k) != static_cast<char32_t>(ascii[k])) return false;
        return true;
    };
    std::vector<std::size_t> points;
    State state = State::Text;
    char32_t quote = 0;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char32_t c = unit(i);
        if (c == '\n' || c == '\r') lineStart = i + 1;
        switch (state) {
            case State::Text:
                if (c != '<') break;
                if (at(i, "<!--")) {
                    state = State::Comment;
                    i += 3;
                } else if (at(i, "<![CDATA[")) {
                    state = State::CData;
                    i += 8;
                } else if (at(i, "<?")) {
                    state = State::Instruction;
                    i += 1;
                } else if (at(i, "<!")) {
                    // A declaration (a DTD): its own grammar, which this
                    // scan does not follow; the rest stays as it is.
                    return points;
                } else {
                    state = State::Tag;
                    quote = 0;
                }
                break;
            case State::Tag:
                if (quote != 0) {
                    if (c == quote) quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    state = State::Text;
                    if (i - lineStart > kReaderLineLimit) {
                        // "<a x='1'\n/>" and "</a\n>": white space is allowed
                        // there, and it is not part of any value.
                        const std::size_t point = (i > 0 && unit(i - 1) == '/') ? i - 1 : i;
                        points.push_back(point);
                        lineStart = point;
                    }
                }
                break;
            case State::Comment:
                if (at(i, "-->")) {
                    state = State::Text;
                    i += 2;
                }
                break;
            case State::CData:
                if (at(i, "]]>")) {
                    state = State::Text;
                    i += 2;
                }
                break;
            case State::Instruction:
                if (at(i, "?>")) {
                    state = State::Text;
                    i += 1;
                }
                break;
        }
    }
    return points;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The prefix of an ASCII-compatible document up to the end of its XML
// declaration, with "gb2312" named "GBK"; empty when there is nothing to
// change. `start` is where the declaration may begin (after a byte order
// mark).
std::string DeclarationWithGbk(std::string_view bytes, std::size_t start) {
    if (bytes.substr(start, 5) != "<?xml") return {};
    const std::size_t end = bytes.find("?>", start);
    if (end == std::string_view::npos) return {};
    const std::string_view declaration = bytes.substr(0, end);
    std::size_t i = declaration.find("encoding", start);
    if (i == std::string_view::npos) return {};
    i += 8;
    while (i < end && IsSpace(declaration[i])) ++i;
    if (i >= end || declaration[i] != '=') return {};
    ++i;
    while (i < end && IsSpace(declaration[i])) ++i;
    if (i >= end || (declaration[i] != '"' && declaration[i] != '\'')) return {};
    const char quote = declaration[i];
    const std::size_t valueStart = i + 1;
    const std::size_t valueEnd = declaration.find(quote, valueStart);
    if (valueEnd == std::string_view::npos) return {};
    const std::string_view value = declaration.substr(valueStart, valueEnd - valueStart);
    constexpr std::string_view kGb2312 = "gb2312";
    if (value.size() != kGb2312.size()) return {};
    for (std::size_t k = 0; k < value.size(); ++k)
        if (Lower(value[k]) != kGb2312[k]) return {};
    std::string out(bytes.substr(0, valueStart));
    out += "GBK";
    out += bytes.substr(valueEnd, end - valueEnd);
    return out;
}

std::string WithBreaks(std::string_view bytes, std::size_t skip, std::size_t unitSize,
                       const std::vector<std::size_t>& points, std::string_view lineBreak) {
    std::string out;
    out.reserve(bytes.size() + points.size() * lineBreak.size());
    std::size_t copied = 0;
    for (const std::size_t point : points) {
        const std::size_t offset = skip + point * unitSize;
        out.append(bytes.substr(copied, offset - copied));
        out.append(lineBreak);
        copied = offset;
    }
    out.append(bytes.substr(copied));
    return out;
}

// Whether a tag holds more than `most` "=" outside its quoted values.
// Comments, CDATA sections and text are skipped: an "=" there is content.
template <class Unit>
bool TagOverLimit(std::size_t count, Unit unit, std::size_t most) {
    enum class State { Text, Tag, Comment, CData };
    auto at = [&](std::size_t i, std::string_view ascii) {
        for (std::size_t k = 0; k < ascii.size(); ++k)
            if (i + k >= count || unit(i + k) != static_cast<char32_t>(ascii[k])) return false;
        return true;
    };
    State state = State::Text;
    char32_t quote = 0;
    std::size_t equals = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char32_t c = unit(i);
        if (state == State::Text) {
            if (c != '<') continue;
            state = at(i, "<!--") ? State::Comment : at(i, "<![CDATA[") ? State::CData : State::Tag;
            quote = 0;
            equals = 0;
        } else if (state == State::Tag) {
            if (quote != 0) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '=') {
                if (++equals > most) return true;
            } else if (c == '>') {
                state = State::Text;
            }
        } else if ((state == State::Comment && at(i, "-->")) || (state == State::CData && at(i, "]]>"))) {
            state = State::Text;
            i += 2;
        }
    }
    return false;
}

}  // namespace

namespace {
// No line of the ASCII-compatible text is longer than the limit, so no break
// is needed anywhere (a break only ever goes into a longer line).
bool LinesWithinLimit(std::string_view text) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) return text.size() - start <= kReaderLineLimit;
        if (end - start > kReaderLineLimit) return false;
        start = end + 1;
    }
}
}  // namespace

std::string ReaderInput(std::string owned) {
    const std::string_view bytes = owned;
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const std::size_t n = bytes.size();
    if (n >= 4 && ((byte(0) == 0 && byte(1) == 0) || (byte(2) == 0 && byte(3) == 0))) return owned;
    if (n >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == '<' && byte(1) == 0))) {
        const std::size_t skip = byte(0) == 0xFF ? 2 : 0;
        const auto points = BreakPoints((n - skip) / 2, [&](std::size_t i) {
            return static_cast<char32_t>(byte(skip + 2 * i) | (byte(skip + 2 * i + 1) << 8));
        });
        return WithBreaks(bytes, skip, 2, points, std::string_view("\n\0", 2));
    }
    if (n >= 2 && ((byte(0) == 0xFE && byte(1) == 0xFF) || (byte(0) == 0 && byte(1) == '<'))) {
        const std::size_t skip = byte(0) == 0xFE ? 2 : 0;
        const auto points = BreakPoints((n - skip) / 2, [&](std::size_t i) {
            return static_cast<char32_t>((byte(skip + 2 * i) << 8) | byte(skip + 2 * i + 1));
        });
        return WithBreaks(bytes, skip, 2, points, std::string_view("\0\n", 2));
    }
    const std::size_t skip = (n >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) ? 3 : 0;
    std::string declaration = DeclarationWithGbk(bytes, skip);
    std::string_view rest = bytes;
    std::size_t restSkip = skip;
    if (!declaration.empty()) {
        // The declaration is short and on the first line; the rest is
        // scanned from where it ends.
        const std::size_t end = bytes.find("?>", skip);
        rest = bytes.substr(end);
        restSkip = 0;
    }
    if (declaration.empty() && LinesWithinLimit(rest.substr(restSkip))) return owned;
    const auto points = BreakPoints(rest.size() - restSkip, [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(rest[restSkip + i]));
    });
    return declaration + WithBreaks(rest, restSkip, 1, points, "\n");
}

bool HasTagWithTooManyAttributes(std::string_view bytes, std::size_t most) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const std::size_t n = bytes.size();
    if (n >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == '<' && byte(1) == 0))) {
        const std::size_t skip = byte(0) == 0xFF ? 2 : 0;
        return TagOverLimit(
            (n - skip) / 2,
            [&](std::size_t i) { return static_cast<char32_t>(byte(skip + 2 * i) | (byte(skip + 2 * i + 1) << 8)); },
            most);
    }
    if (n >= 2 && ((byte(0) == 0xFE && byte(1) == 0xFF) || (byte(0) == 0 && byte(1) == '<'))) {
        const std::size_t skip = byte(0) == 0xFE ? 2 : 0;
        return TagOverLimit(
            (n - skip) / 2,
            [&](std::size_t i) { return static_cast<char32_t>((byte(skip + 2 * i) << 8) | byte(skip + 2 * i + 1)); },
            most);
    }
    return TagOverLimit(
        n, [&](std::size_t i) { return static_cast<char32_t>(byte(i)); }, most);
}

}  // namespace mf::xml
