#include "zip/zip_test_support.h"

#include <cstring>
#include <ctime>

namespace mf::test {

std::uint64_t LocalTicks(int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    return UnixTicks(static_cast<std::int64_t>(_mktime64(&local)));
}

GuardedBlock::GuardedBlock(const std::string& bytes) : size_(bytes.size()) {
    constexpr std::size_t kPage = 4096;
    const std::size_t pages = (bytes.size() + kPage - 1) / kPage;
    base_ = ::VirtualAlloc(nullptr, (pages + 1) * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    auto* guard = static_cast<unsigned char*>(base_) + pages * kPage;
    DWORD old = 0;
    ::VirtualProtect(guard, kPage, PAGE_NOACCESS, &old);
    auto* start = guard - bytes.size();
    if (!bytes.empty()) std::memcpy(start, bytes.data(), bytes.size());
    data_ = start;
}

GuardedBlock::~GuardedBlock() { ::VirtualFree(base_, 0, MEM_RELEASE); }

}  // namespace mf::test
