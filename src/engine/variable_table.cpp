#include "engine/variable_table.h"

namespace mf {

std::wstring VariableTable::Get(const std::wstring& key) const {
    std::lock_guard guard(mutex_);
    const auto it = values_.find(key);
    return it == values_.end() ? std::wstring() : it->second;
}

std::optional<std::wstring> VariableTable::Find(const std::wstring& key) const {
    std::lock_guard guard(mutex_);
    const auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

void VariableTable::Set(const std::wstring& key, const std::wstring& value) {
    std::lock_guard guard(mutex_);
    values_[key] = value;
}

void VariableTable::Remove(const std::wstring& key) {
    std::lock_guard guard(mutex_);
    values_.erase(key);
}

void VariableTable::Clear() {
    std::lock_guard guard(mutex_);
    values_.clear();
}

std::size_t VariableTable::Size() const {
    std::lock_guard guard(mutex_);
    return values_.size();
}

}  // namespace mf
