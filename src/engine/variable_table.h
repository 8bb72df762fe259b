// The configuration value cache (key = section name + key name,
// case-sensitive), private to Config. The run's own facts live in RunFacts,
// the parameter package's fields in ParameterFields.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace mf {

class VariableTable {
public:
    // Empty when the key is absent.
    [[nodiscard]] std::wstring Get(const std::wstring& key) const;
    [[nodiscard]] std::optional<std::wstring> Find(const std::wstring& key) const;
    void Set(const std::wstring& key, const std::wstring& value);
    void Remove(const std::wstring& key);
    void Clear();
    [[nodiscard]] std::size_t Size() const;

private:
    mutable std::mutex mutex_;
    std::map<std::wstring, std::wstring> values_;
};

}  // namespace mf
