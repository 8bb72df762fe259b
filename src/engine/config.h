// Configuration access: mirefold.ini in the working folder, read through the
// value cache, and the embedded default text.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/run_facts.h"
#include "engine/variable_table.h"
#include "engine/work_folder.h"

namespace mf {

inline constexpr std::size_t kConfigValueMax = 999;

class Config {
public:
    // `run` tells whether this is the elevated relaunch.
    Config(WorkFolder& workFolder, const RunFacts& run);

    // Supplies the temporary folder (which itself depends on the
    // configuration); set once by the process state.
    void SetTempFolderSource(std::function<std::wstring()> source) { tempFolder_ = std::move(source); }
    // Called by Write when the file write failed with access denied and this
    // is not the elevated relaunch.
    void SetAccessDeniedHandler(std::function<void(const std::wstring& iniPath)> handler) {
        accessDenied_ = std::move(handler);
    }

    [[nodiscard]] std::wstring Read(const std::wstring& section, const std::wstring& key);
    [[nodiscard]] std::wstring ReadOr(const std::wstring& section, const std::wstring& key,
                                      const std::wstring& fallback);
    [[nodiscard]] bool ReadFlag(const std::wstring& section, const std::wstring& key, const std::wstring& fallback);
    [[nodiscard]] long ReadInt(const std::wstring& section, const std::wstring& key, const std::wstring& fallback);
    // Reads from another ini file; the value also lands in the cache.
    std::wstring ReadIniFile(const std::wstring& path, const std::wstring& section, const std::wstring& key);
    void Write(const std::wstring& section, const std::wstring& key, const std::wstring& value);

    // The value cache (section name + key name, letter case as given).
    // Cache puts a value there as if it had been read from the file.
    void Cache(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    [[nodiscard]] std::optional<std::wstring> Cached(const std::wstring& section, const std::wstring& key) const;
    void ClearCache() { cache_.Clear(); }

    void SetEmbedded(std::wstring text) { embedded_ = std::move(text); }
    [[nodiscard]] const std::wstring& Embedded() const { return embedded_; }
    [[nodiscard]] std::wstring ReadEmbedded(const std::wstring& section, const std::wstring& key) const;

    // mirefold.ini of the working folder, and of the temporary folder.
    [[nodiscard]] std::wstring IniPath();
    [[nodiscard]] std::wstring FileFor(const std::wstring& section, const std::wstring& key);

private:
    VariableTable cache_;
    WorkFolder& workFolder_;
    const RunFacts& run_;
    std::function<std::wstring()> tempFolder_;
    std::function<void(const std::wstring&)> accessDenied_;
    std::wstring embedded_;
};

// Pure look-up in an embedded configuration text (see Config::ReadEmbedded).
std::wstring LookUpEmbedded(std::wstring_view text, std::wstring_view section, std::wstring_view key);

// The system ini reader with an empty default and a 1000-character buffer.
std::wstring ReadPrivateProfile(const std::wstring& path, const std::wstring& section, const std::wstring& key);

// The four product keys of the companion files "..\QuorvilKC.ini" and
// "..\QuorvilSet.ini" next to the executable's folder: the Set file's value
// wins when it exists, even when empty.
struct CompanionFiles {
    std::wstring kcPath;
    std::wstring setPath;

    static CompanionFiles ForExecutableFolder(const std::wstring& folder);
    [[nodiscard]] bool HasKc() const;
    [[nodiscard]] bool HasSet() const;
    [[nodiscard]] std::wstring Read(const std::wstring& key) const;  // section APPLICATION
};

}  // namespace mf
