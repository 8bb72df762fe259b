// The processes of the system and the modules of one process, read through
// the process status functions. The system tells neither how many
// processes nor how many modules there are: the list is read into a buffer
// that grows until the answer no longer fills it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace mf {

inline constexpr std::size_t kFirstListCapacity = 1024;
// A source that fills every buffer it is given (a fault, or a system in
// trouble) is not followed beyond this many entries.
inline constexpr std::size_t kListCapacityLimit = std::size_t{1} << 20;

// Reads a list of T through `fetch(buffer, bytes, &bytesUsed)` (the shape of
// EnumProcesses and of EnumProcessModules with its process bound): asks with
// room for 1024 entries and, while the answer fills the buffer completely,
// doubles the buffer and asks again. Empty when fetch fails.
template <class T, class Fetch>
std::vector<T> ReadGrowingList(Fetch&& fetch) {
    std::vector<T> items;
    for (std::size_t capacity = kFirstListCapacity;; capacity *= 2) {
        items.assign(capacity, T{});
        DWORD used = 0;
        if (!fetch(items.data(), static_cast<DWORD>(capacity * sizeof(T)), &used)) return {};
        const std::size_t count = std::min<std::size_t>(used / sizeof(T), capacity);
        if (count < capacity || capacity >= kListCapacityLimit) {
            items.resize(count);
            return items;
        }
    }
}

// The ids of all processes, in the system's order.
std::vector<DWORD> EnumerateProcessIds();

// The module handles of a process opened for query-information and memory
// read; empty when the process cannot be opened or its modules not read.
std::vector<HMODULE> EnumerateModules(DWORD processId);

// The full path of the first module of a process (its executable); empty
// when the process cannot be opened or yields no module, so that a process
// this one may not inspect is never taken for another program.
std::wstring MainModulePath(DWORD processId);

}  // namespace mf
