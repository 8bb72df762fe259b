// mirefold-brand IN.exe CONFIG.ini OUT.exe
//
// Brands the engine for a product: copies IN.exe to OUT.exe and writes
// CONFIG.ini, byte for byte, as its embedded default configuration
// (resource RCDATA 179), replacing the one it had in every language.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kConfigResource = 179;

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

std::vector<WORD> ConfigLanguages(const wchar_t* exe) {
    std::vector<WORD> languages;
    HMODULE module = ::LoadLibraryExW(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return languages;
    ::EnumResourceLanguagesW(module, MAKEINTRESOURCEW(10) /*RT_RCDATA*/, MAKEINTRESOURCEW(kConfigResource),
                             CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
    ::FreeLibrary(module);
    return languages;
}

int Fail(const char* what, const wchar_t* path) {
    std::fprintf(stderr, "mirefold-brand: %s: %ls (error %lu)\n", what, path, ::GetLastError());
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: mirefold-brand IN.exe CONFIG.ini OUT.exe\n");
        return 2;
    }
    const wchar_t* in = argv[1];
    const wchar_t* config = argv[2];
    const wchar_t* out = argv[3];

    std::ifstream file(config, std::ios::binary);
    if (!file) return Fail("cannot read the configuration", config);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    std::string data = bytes.str();

    std::vector<WORD> languages = ConfigLanguages(in);
    if (!::CopyFileW(in, out, FALSE)) return Fail("cannot copy the engine", out);
    ::SetFileAttributesW(out, FILE_ATTRIBUTE_NORMAL);

    HANDLE update = ::BeginUpdateResourceW(out, FALSE);
    if (update == nullptr) return Fail("cannot open the copy for resource updates", out);
    const WORD language = languages.empty() ? MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL) : languages.front();
    for (WORD old : languages) {
        ::UpdateResourceW(update, MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(kConfigResource), old, nullptr, 0);
    }
    // An empty configuration is still written (as a resource of no bytes),
    // so that the engine's own default cannot come back.
    if (!::UpdateResourceW(update, MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(kConfigResource), language,
                           data.empty() ? const_cast<char*>("") : data.data(), static_cast<DWORD>(data.size()))) {
        ::EndUpdateResourceW(update, TRUE);
        return Fail("cannot write the configuration resource", out);
    }
    if (!::EndUpdateResourceW(update, FALSE)) return Fail("cannot save the branded engine", out);
    std::printf("mirefold-brand: %ls branded with %ls (%u bytes)\n", out, config, static_cast<unsigned>(data.size()));
    return 0;
}
