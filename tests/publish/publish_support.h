// Helpers of the publishing tool's tests: release folders made by the test,
// the tool run as its own process, and independent checks of what it wrote.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace mf::test {

// Relative path -> bytes.
using Tree = std::map<std::wstring, std::string>;

// Writes every file of the tree below `root`, creating folders.
void WriteTree(const std::wstring& root, const Tree& tree);
// Every file below `root`, and (with `folders`) every folder as a path with a
// trailing backslash and no bytes.
Tree ReadTree(const std::wstring& root, bool folders = true);

struct ToolRun {
    long long exitCode = -1;
    std::wstring out;  // standard output, decoded from UTF-8
    std::wstring err;
};

// Runs bin\mirefold-publish.exe with the arguments (already quoted).
ToolRun RunPublish(const std::wstring& arguments);
std::wstring Quoted(const std::wstring& path);

// MD5 through the legacy CryptoAPI, a different code path from the tool's.
std::wstring LegacyMd5(const std::string& bytes);

// The single entry of a zip variant as the engine's zip reader extracts it.
struct ZipContent {
    bool opened = false;
    int entries = 0;
    std::wstring name;
    std::string bytes;
    bool complete = false;  // the reader reported the whole entry (size and CRC checked)
};
ZipContent ReadZipWithEngine(const std::wstring& archive);

// Pseudo-random bytes (deterministic), and text that compresses well.
std::string RandomBytes(std::size_t size, unsigned seed);
std::string CompressibleText(std::size_t size, unsigned seed);

// A release as a vendor has one: nested folders, Chinese names, an empty
// file, a file of a few MiB (kBigFile) and one that does not compress.
Tree SampleRelease();
inline const std::wstring kBigFile = L"data\\题库\\第一章.db";
// A manifest for it with every section: a message, per-file settings (one
// written with another case and "/"), deleted files and two commands.
extern const char kSampleManifest[];

// The names directly in a folder; folders with a trailing backslash.
std::vector<std::wstring> TopLevelNames(const std::wstring& folder);

// The lines of a text (LF or CR LF), without empty ones.
std::vector<std::wstring> Lines(const std::wstring& text);

}  // namespace mf::test
