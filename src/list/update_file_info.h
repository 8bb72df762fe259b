// One record of an update list: a file to install or delete, a message to
// show or a command to run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mf {

// Operation flags of a file record. The numbers are part of the list format.
inline constexpr std::int32_t OPER_RUN = 0x1;   // run the file after installing
inline constexpr std::int32_t OPER_DEL = 0x2;   // delete the file instead of installing it
inline constexpr std::int32_t OPER_REG = 0x4;   // register the file
inline constexpr std::int32_t OPER_BOOT = 0x8;  // a restart is needed after the update
// Whole values (not bits) that mark the records that are not files.
inline constexpr std::int32_t OPER_DESCRIPTION = 0x7F000000;
inline constexpr std::int32_t OPER_COMMAND = 0x7E000000;

// The version key that message and command records carry, so that they are
// decided by their text alone.
inline constexpr const wchar_t* kNonFileVersion = L"999";

// What a list says of a file's zip variant (path + "._.zip"): its "zip"
// attribute, which the publishing tool writes on every file ("1": the
// variant is there, "0": it is not). A list without it says nothing, and the
// file is asked for as its variant first, as the server contract has it.
enum class ZipHint : std::uint8_t { Unmarked, Present, Absent };
inline constexpr const wchar_t* kZipAttribute = L"zip";
[[nodiscard]] inline ZipHint ZipHintOf(std::wstring_view value) {
    if (value == L"1") return ZipHint::Present;
    if (value == L"0") return ZipHint::Absent;
    return ZipHint::Unmarked;
}
[[nodiscard]] inline std::wstring ZipHintValue(bool present) { return present ? L"1" : L"0"; }

struct updatefileinfo {
    std::wstring url;           // own download URL; empty: the list's file-URL template
    std::wstring path;          // relative path; message text; joined command
    std::wstring desname;       // other target path(s) as written in the list
    std::wstring ver;           // version key, lower-cased and trimmed
    std::wstring status;        // lines the download phase appends
    std::wstring shortcut;      // shortcut to create
    std::wstring shortcuticon;  // icon file of that shortcut
    std::wstring iconindex;     // icon index, as text
    std::int32_t oper = 0;      // OPER_* flags, or OPER_DESCRIPTION / OPER_COMMAND
    // `ver` is the MD5 digest of the file's content, to be checked when the
    // file arrives: the key came from an "md5"/"MD5" attribute of a list
    // that declares its keys digests (root attribute hash="md5").
    bool md5key = false;
    ZipHint zip = ZipHint::Unmarked;
    // The SHA-256 of the file's content (lower-case hexadecimal), from the
    // "sha256" attribute of a signed release's list; checked when the file
    // arrives and again right before it is installed. Empty: none.
    std::wstring sha256;

    friend bool operator==(const updatefileinfo&, const updatefileinfo&) = default;
};

// Message and command records carry whole marker values; anything else is a
// file record.
[[nodiscard]] inline bool IsFileRecord(const updatefileinfo& record) {
    return record.oper != OPER_DESCRIPTION && record.oper != OPER_COMMAND;
}

// Operation bits of the records that bring no file: deletions, the flags 0x10
// and 0x20, and any bit of the message and command markers. The download
// phase fetches nothing for them, so the install phase has nothing to copy.
inline constexpr std::uint32_t kNoFileBits = 0x2u | 0x10u | 0x20u | 0x7F000000u;
[[nodiscard]] inline bool BringsFile(std::int32_t oper) {
    return (static_cast<std::uint32_t>(oper) & kNoFileBits) == 0;
}

}  // namespace mf
