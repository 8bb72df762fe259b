// Which server records must be processed: new or changed entries, files
// gone missing on disk (when asked), messages not yet shown and commands
// not yet run. Pure selection; the caller appends the chosen records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <functional>
#include <vector>

namespace mf {

namespace compare_flags {
inline constexpr std::uint32_t kDelete = 0x2;
inline constexpr std::uint32_t kDescription = 0x7F000000;
inline constexpr std::uint32_t kCommand = 0x7E000000;
}  // namespace compare_flags

// Records are anything with `path`, `ver` and `oper` (the update list record
// and the small records of the tests). `anyTargetMissing(record)` tells
// whether one of the record's target paths does not exist; it is asked
// only for file records without the delete flag, and only when checkLost.
//
// The local records are indexed by path once (the first of equal paths
// counts), so the selection costs one hash look-up per server record. The
// index is one flat table of record numbers (open addressing): a list of
// 100k entries costs no allocation per entry.
template <class ServerList, class LocalList, class MissingTest>
std::vector<std::size_t> SelectRecordsToUpdate(const ServerList& server, const LocalList& local, bool checkLost,
                                               MissingTest&& anyTargetMissing) {
    constexpr std::uint32_t kFree = 0xFFFFFFFF;
    struct Slot {
        std::size_t hash;
        std::uint32_t index;
    };
    const auto localCount = static_cast<std::size_t>(local.size());
    std::size_t capacity = 16;
    while (capacity < localCount * 2) capacity *= 2;
    std::vector<Slot> slots(capacity, Slot{0, kFree});
    const std::size_t mask = capacity - 1;
    const std::hash<std::wstring_view> hashOf;
    for (std::size_t i = 0; i < localCount; ++i) {
        const std::wstring_view path(local[i].path);
        const std::size_t hash = hashOf(path);
        for (std::size_t k = hash & mask;; k = (k + 1) & mask) {
            if (slots[k].index == kFree) {
                slots[k] = {hash, static_cast<std::uint32_t>(i)};
                break;
            }
            if (slots[k].hash == hash && std::wstring_view(local[slots[k].index].path) == path) break;
        }
    }
    auto find = [&](std::wstring_view path) -> std::uint32_t {
        const std::size_t hash = hashOf(path);
        for (std::size_t k = hash & mask;; k = (k + 1) & mask) {
            if (slots[k].index == kFree) return kFree;
            if (slots[k].hash == hash && std::wstring_view(local[slots[k].index].path) == path) return slots[k].index;
        }
    };

    std::vector<std::size_t> selected;
    for (std::size_t i = 0; i < static_cast<std::size_t>(server.size()); ++i) {
        const auto& record = server[i];
        if (std::wstring_view(record.ver).empty()) continue;
        const auto oper = static_cast<std::uint32_t>(record.oper);
        const bool isFile = oper != compare_flags::kDescription && oper != compare_flags::kCommand;
        if (checkLost && isFile && (oper & compare_flags::kDelete) == 0 && anyTargetMissing(record)) {
            selected.push_back(i);
            continue;
        }
        const std::uint32_t found = find(std::wstring_view(record.path));
        if (found == kFree || std::wstring_view(local[found].ver) != std::wstring_view(record.ver))
            selected.push_back(i);
    }
    return selected;
}

}  // namespace mf
