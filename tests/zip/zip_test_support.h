// Shared by the zip reader tests: the archives made at build time and a few
// ways of looking at what came out.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "support/test_support.h"
#include "zip/unzip.h"

namespace mf::test {

// Values the fixture script used.
constexpr std::int64_t kHelloModified = 1600000000;
constexpr std::int64_t kHelloAccessed = 1500000000;
constexpr std::int64_t kReadOnlyModified = 1590000000;
constexpr const char* kPassword = "s3cret pass";

inline std::wstring Fixture(const std::wstring& name) { return BuildPath(L"fixtures\\zip\\" + name); }
inline std::string FixtureBytes(const std::wstring& name) { return ReadFileBytes(Fixture(name)); }
inline std::string SourceBytes(const std::wstring& name) { return ReadFileBytes(Fixture(L"src\\" + name)); }

inline std::uint64_t Ticks(const FILETIME& time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// Seconds since 1970 as FILETIME ticks, worked out here and not by the
// reader's own conversion.
inline std::uint64_t UnixTicks(std::int64_t seconds) {
    return static_cast<std::uint64_t>(seconds + 11644473600LL) * 10000000ULL;
}

// A local calendar time as UTC ticks, through the C runtime's mktime.
std::uint64_t LocalTicks(int year, int month, int day, int hour, int minute, int second);

// A copy of some bytes that ends exactly where the readable memory ends:
// a read past the end faults instead of going unnoticed.
class GuardedBlock {
public:
    explicit GuardedBlock(const std::string& bytes);
    ~GuardedBlock();
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;
    [[nodiscard]] const void* data() const { return data_; }
    [[nodiscard]] std::size_t size() const { return size_; }

private:
    void* base_ = nullptr;
    const void* data_ = nullptr;
    std::size_t size_ = 0;
};

// Closes the handle at the end of a test.
struct OpenArchive {
    explicit OpenArchive(ZipHandle h) : zip(h) {}
    ~OpenArchive() {
        if (zip != nullptr) (void)CloseZip(zip);
    }
    OpenArchive(const OpenArchive&) = delete;
    OpenArchive& operator=(const OpenArchive&) = delete;
    ZipHandle zip;
};

}  // namespace mf::test
