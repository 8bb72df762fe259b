#include "engine/installed_release.h"

#include "base/files.h"
#include "base/strings.h"
#include "engine/process_state.h"
#include "list/download_list.h"
#include "list/release_marks.h"

namespace mf {

namespace {

constexpr std::uint64_t kSerialFileMax = 64;

std::wstring SerialPath() {
    return ReduceBackslashes(GetWorkFolder() + L"\\" + kInstalledSerialFile);
}

}  // namespace

std::optional<std::uint64_t> ReadInstalledSerial() {
    std::string bytes;
    if (!ReadWholeFile(SerialPath(), bytes, kSerialFileMax)) return std::nullopt;
    while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.pop_back();
    return ParseSerial(std::wstring(bytes.begin(), bytes.end()));
}

bool WriteInstalledSerial(std::optional<std::uint64_t> serial) {
    const std::wstring path = SerialPath();
    if (!serial) return !FileExists(path) || DeleteFileForce(path);
    return WriteWholeFile(path, std::to_string(*serial) + "\r\n");
}

std::optional<std::uint64_t> ListSerialOf(const DownLoadList& list) {
    const auto found = list.values.find(kListSerialValue);
    return found == list.values.end() ? std::nullopt : ParseSerial(found->second);
}

void SetListSerial(DownLoadList& list, const std::wstring& serialText) {
    if (ParseSerial(serialText)) {
        list.values[kListSerialValue] = serialText;
    } else {
        list.values.erase(kListSerialValue);
    }
}

}  // namespace mf
