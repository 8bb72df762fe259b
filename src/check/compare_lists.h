// Which server records must be processed: new or changed entries, files
// gone missing on disk (when asked), messages not yet shown and commands
// not yet run. Pure selection; the caller appends the chosen records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
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
// counts), so the selection costs one hash look-up per server record.
template <class ServerList, class LocalList, class MissingTest>
std::vector<std::size_t> SelectRecordsToUpdate(const ServerList& server, const LocalList& local, bool checkLost,
                                               MissingTest&& anyTargetMissing) {
    // Views into the local records, which outlive the index: no copy of
    // every installed path.
    std::unordered_map<std::wstring_view, std::size_t> localByPath;
    localByPath.reserve(static_cast<std::size_t>(local.size()));
    for (std::size_t i = 0; i < static_cast<std::size_t>(local.size()); ++i) localByPath.emplace(local[i].path, i);

    std::vector<std::size_t> selected;
    for (std::size_t i = 0; i < static_cast<std::size_t>(server.size()); ++i) {
        const auto& record = server[i];
        if (record.ver.empty()) continue;
        const auto oper = static_cast<std::uint32_t>(record.oper);
        const bool isFile = oper != compare_flags::kDescription && oper != compare_flags::kCommand;
        if (checkLost && isFile && (oper & compare_flags::kDelete) == 0 && anyTargetMissing(record)) {
            selected.push_back(i);
            continue;
        }
        const auto found = localByPath.find(std::wstring_view(record.path));
        if (found == localByPath.end() || local[found->second].ver != record.ver) selected.push_back(i);
    }
    return selected;
}

}  // namespace mf
