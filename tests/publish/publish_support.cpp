#include "publish/publish_support.h"

#include <windows.h>
// after windows.h, which it needs
#include <wincrypt.h>

#include <algorithm>
#include <random>

#include "base/files.h"
#include "base/handles.h"
#include "base/strings.h"
#include "support/test_support.h"
#include "zip/unzip.h"

namespace mf::test {

namespace {

void Collect(const std::wstring& root, const std::wstring& relative, bool folders, Tree& tree) {
    WIN32_FIND_DATAW data{};
    UniqueFind find(::FindFirstFileW(((relative.empty() ? root : root + L"\\" + relative) + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (folders) tree[path + L"\\"] = {};
            Collect(root, path, folders, tree);
        } else {
            tree[path] = ReadFileBytes(root + L"\\" + path);
        }
    } while (::FindNextFileW(find.get(), &data));
}

std::string ReadAll(const std::wstring& path) {
    return ReadFileBytes(path);
}

}  // namespace

void WriteTree(const std::wstring& root, const Tree& tree) {
    for (const auto& [path, bytes] : tree) {
        const std::wstring full = root + L"\\" + path;
        CreateFolderTree(full.substr(0, full.find_last_of(L'\\')));
        WriteFileBytes(full, bytes);
    }
}

Tree ReadTree(const std::wstring& root, bool folders) {
    Tree tree;
    Collect(root, L"", folders, tree);
    return tree;
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

ToolRun RunPublish(const std::wstring& arguments) {
    ToolRun run;
    TempFolder scratch;
    const std::wstring outPath = scratch / L"out.txt", errPath = scratch / L"err.txt";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    {
        UniqueFile out(
            ::CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
        UniqueFile err(
            ::CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        PROCESS_INFORMATION info{};
        std::wstring line = Quoted(BuildPath(L"bin\\mirefold-publish.exe")) + L" " + arguments;
        if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                              &startup, &info))
            return run;
        UniqueHandle process(info.hProcess), thread(info.hThread);
        if (::WaitForSingleObject(process.get(), 120000) != WAIT_OBJECT_0) {
            ::TerminateProcess(process.get(), 1);
            return run;
        }
        DWORD code = 0;
        ::GetExitCodeProcess(process.get(), &code);
        run.exitCode = code;
    }
    run.out = Widen(ReadAll(outPath), CodePage::Utf8);
    run.err = Widen(ReadAll(errPath), CodePage::Utf8);
    return run;
}

std::wstring LegacyMd5(const std::string& bytes) {
    HCRYPTPROV provider = 0;
    if (!::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return {};
    std::wstring text;
    HCRYPTHASH hash = 0;
    if (::CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
        BYTE digest[16];
        DWORD length = sizeof digest;
        if (::CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), 0) &&
            ::CryptGetHashParam(hash, HP_HASHVAL, digest, &length, 0)) {
            static constexpr wchar_t kHex[] = L"0123456789abcdef";
            for (BYTE b : digest) text += {kHex[b >> 4], kHex[b & 0xF]};
        }
        ::CryptDestroyHash(hash);
    }
    ::CryptReleaseContext(provider, 0);
    return text;
}

ZipContent ReadZipWithEngine(const std::wstring& archive) {
    ZipContent content;
    UniqueZip zip(OpenZip(archive));
    if (!zip) return content;
    content.opened = true;
    ZipEntry entry;
    if (GetZipItem(zip.get(), -1, entry) != ZipResult::Ok) return content;
    content.entries = entry.index;
    if (GetZipItem(zip.get(), 0, entry) != ZipResult::Ok) return content;
    content.name = entry.name;
    std::string buffer(64 * 1024, '\0');
    for (;;) {
        std::size_t produced = 0;
        const ZipResult result = UnzipItemToBuffer(zip.get(), 0, buffer.data(), buffer.size(), &produced);
        content.bytes.append(buffer.data(), produced);
        if (result == ZipResult::Ok) {
            content.complete = true;
            break;
        }
        if (result != ZipResult::More) break;
    }
    return content;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

std::string CompressibleText(std::size_t size, unsigned seed) {
    static const char* const kWords[] = {"question", "answer", "chapter", "bank", "exam", "practice", "score", "\r\n"};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) {
        text += kWords[random() % 8];
        text += ' ';
    }
    text.resize(size);
    return text;
}

Tree SampleRelease() {
    return Tree{
        {L"bin\\app.exe", "MZ" + CompressibleText(40000, 11)},
        {L"bin\\插件\\组件.dll", "MZ" + CompressibleText(9000, 12)},
        {kBigFile, CompressibleText(3 << 20, 13)},
        {L"data\\empty.dat", ""},
        {L"docs\\说明.txt", "说明\r\n"},
        {L"readme.txt", "read me\r\n"},
        {L"noise.bin", RandomBytes(200000, 14)},
    };
}

const char kSampleManifest[] =
    "; the vendor's manifest\r\n"
    "[message]\r\n"
    "欢迎使用新版本\r\n"
    "Restart after the update\r\n"
    "[file:bin\\app.exe]\r\n"
    "shortcut={desktop}\\题库.lnk\r\n"
    "shortcuticon=bin\\app.exe\r\n"
    "iconindex=0\r\n"
    "[file:BIN/插件/组件.dll]\r\n"
    "register=yes\r\n"
    "restart=yes\r\n"
    "desname=组件.dll;{app}\\plugins\\组件.dll\r\n"
    "[file:readme.txt]\r\n"
    "run=yes\r\n"
    "[delete]\r\n"
    "old\\legacy.dll\r\n"
    "{desktop}\\旧题库.lnk\r\n"
    "[command:setup]\r\n"
    "path={app}\\bin\\app.exe\r\n"
    "param=/setup 9\r\n"
    "wait=yes\r\n"
    "key=k1\r\n"
    "[command:cleanup]\r\n"
    "path=cmd.exe\r\n"
    "param=/c del old.log\r\n";

std::vector<std::wstring> TopLevelNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data{};
    UniqueFind find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find) return names;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        names.push_back(name + ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? L"\\" : L""));
    } while (::FindNextFileW(find.get(), &data));
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (std::wstring line : Split(text, L'\n')) {
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

}  // namespace mf::test
