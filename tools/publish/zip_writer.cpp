#include "zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string_view>
#include <vector>

#include "base/files.h"
#include "base/handles.h"
#include "base/strings.h"

namespace mf::publish {

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint16_t kVersion = 20;            // 2.0: deflate
constexpr std::uint16_t kFlagBestLevel = 0x0002;  // deflated with the maximum level
constexpr std::uint16_t kFlagUtf8 = 0x0800;       // name in UTF-8
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint32_t kArchiveAttribute = 0x20;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kChunk = 256 * 1024;

class Bytes {
public:
    void U16(std::uint32_t v) {
        data_.push_back(static_cast<char>(v & 0xFF));
        data_.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
    void U32(std::uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void Text(std::string_view text) { data_.append(text); }
    [[nodiscard]] const std::string& data() const { return data_; }

private:
    std::string data_;
};

std::uint32_t ReadU16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}
std::uint32_t ReadU32(const unsigned char* p) {
    return ReadU16(p) | (ReadU16(p + 2) << 16);
}

struct DosTime {
    std::uint16_t date = (1 << 5) | 1;  // 1980-01-01, the earliest a zip can say
    std::uint16_t time = 0;
};

DosTime ToDosTime(const FILETIME& utc) {
    DosTime dos;
    FILETIME local{};
    WORD date = 0, time = 0;
    if (::FileTimeToLocalFileTime(&utc, &local) && ::FileTimeToDosDateTime(&local, &date, &time)) {
        dos.date = date;
        dos.time = time;
    }
    return dos;
}

// Seconds since 1970 for the extended timestamp, when the time fits its
// signed 32 bits.
bool ToUnixTime(const FILETIME& utc, std::uint32_t& seconds) {
    const ULONGLONG ticks = (static_cast<ULONGLONG>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
    constexpr ULONGLONG kEpoch = 116444736000000000ULL;
    if (ticks < kEpoch) return false;
    const ULONGLONG value = (ticks - kEpoch) / 10000000ULL;
    if (value > 0x7FFFFFFFULL) return false;
    seconds = static_cast<std::uint32_t>(value);
    return true;
}

std::string TimestampExtra(const FILETIME& modified) {
    std::uint32_t seconds = 0;
    if (!ToUnixTime(modified, seconds)) return {};
    Bytes extra;
    extra.U16(0x5455);  // "UT"
    extra.U16(5);
    extra.Text(std::string(1, '\x01'));  // modification time follows
    extra.U32(seconds);
    return extra.data();
}

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

struct EntryHeader {
    std::string name;  // UTF-8
    std::string extra;
    DosTime time;
    std::uint16_t flags = kFlagBestLevel;
};

std::string LocalHeader(const EntryHeader& h, const ZipEntryFacts& facts) {
    Bytes b;
    b.U32(kLocalSignature);
    b.U16(kVersion);
    b.U16(h.flags);
    b.U16(kMethodDeflate);
    b.U16(h.time.time);
    b.U16(h.time.date);
    b.U32(facts.crc);
    b.U32(facts.compressedSize);
    b.U32(facts.size);
    b.U16(static_cast<std::uint32_t>(h.name.size()));
    b.U16(static_cast<std::uint32_t>(h.extra.size()));
    b.Text(h.name);
    b.Text(h.extra);
    return b.data();
}

std::string CentralDirectoryAndEnd(const EntryHeader& h, const ZipEntryFacts& facts, std::uint32_t offset) {
    Bytes b;
    b.U32(kCentralSignature);
    b.U16(kVersion);  // made by: MS-DOS host, so the attributes are DOS attributes
    b.U16(kVersion);
    b.U16(h.flags);
    b.U16(kMethodDeflate);
    b.U16(h.time.time);
    b.U16(h.time.date);
    b.U32(facts.crc);
    b.U32(facts.compressedSize);
    b.U32(facts.size);
    b.U16(static_cast<std::uint32_t>(h.name.size()));
    b.U16(static_cast<std::uint32_t>(h.extra.size()));
    b.U16(0);  // comment
    b.U16(0);  // disk
    b.U16(0);  // internal attributes
    b.U32(kArchiveAttribute);
    b.U32(0);  // the local header is at the start
    b.Text(h.name);
    b.Text(h.extra);
    const auto directorySize = static_cast<std::uint32_t>(b.data().size());
    b.U32(kEndSignature);
    b.U16(0);
    b.U16(0);
    b.U16(1);
    b.U16(1);
    b.U32(directorySize);
    b.U32(offset);
    b.U16(0);
    return b.data();
}

bool WriteAll(HANDLE file, const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
        if (!::WriteFile(file, p, piece, &written, nullptr) || written == 0) return false;
        p += written;
        size -= written;
    }
    return true;
}

std::wstring SystemError(const std::wstring& what, const std::wstring& path) {
    return what + L" " + path + L" (error " + ToWString(static_cast<long long>(::GetLastError())) + L")";
}

struct Deflater {
    z_stream stream{};
    bool open = false;
    Deflater() {
        open = deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (open) deflateEnd(&stream);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
};

// Deflates the whole source into `out` after the local header; fills the CRC
// and sizes.
bool DeflateBody(HANDLE in, HANDLE out, ZipEntryFacts& facts, const std::wstring& source, const std::wstring& target,
                 std::wstring& error) {
    Deflater deflater;
    if (!deflater.open) {
        error = L"cannot start deflate";
        return false;
    }
    std::vector<unsigned char> input(kChunk), output(kChunk);
    std::uint64_t size = 0, compressed = 0;
    uLong crc = crc32(0L, Z_NULL, 0);
    for (bool finished = false; !finished;) {
        DWORD got = 0;
        if (!::ReadFile(in, input.data(), static_cast<DWORD>(input.size()), &got, nullptr)) {
            error = SystemError(L"cannot read", source);
            return false;
        }
        const int flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
        crc = crc32(crc, input.data(), got);
        size += got;
        deflater.stream.next_in = input.data();
        deflater.stream.avail_in = got;
        int result = Z_OK;
        do {
            deflater.stream.next_out = output.data();
            deflater.stream.avail_out = static_cast<uInt>(output.size());
            result = deflate(&deflater.stream, flush);
            if (result == Z_STREAM_ERROR) {
                error = L"deflate failed for " + source;
                return false;
            }
            const std::size_t produced = output.size() - deflater.stream.avail_out;
            if (!WriteAll(out, output.data(), produced)) {
                error = SystemError(L"cannot write", target);
                return false;
            }
            compressed += produced;
        } while (deflater.stream.avail_out == 0);
        finished = result == Z_STREAM_END;
    }
    if (size > 0xFFFFFFFFULL || compressed > 0xFFFFFFFFULL) {
        error = source + L" is too large for a zip variant (4 GiB or more)";
        return false;
    }
    facts.crc = static_cast<std::uint32_t>(crc);
    facts.size = static_cast<std::uint32_t>(size);
    facts.compressedSize = static_cast<std::uint32_t>(compressed);
    return true;
}

bool WriteZip(const std::wstring& source, const std::wstring& target, const EntryHeader& header, ZipEntryFacts& facts,
              std::wstring& error) {
    UniqueFile in(::CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) {
        error = SystemError(L"cannot open", source);
        return false;
    }
    UniqueFile out(
        ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) {
        error = SystemError(L"cannot create", target);
        return false;
    }
    // The local header is written twice: first as a place holder, then with
    // the CRC and sizes, so that no data descriptor is needed.
    const std::string placeholder = LocalHeader(header, facts);
    if (!WriteAll(out.get(), placeholder.data(), placeholder.size())) {
        error = SystemError(L"cannot write", target);
        return false;
    }
    if (!DeflateBody(in.get(), out.get(), facts, source, target, error)) return false;
    const std::uint64_t directoryOffset = placeholder.size() + static_cast<std::uint64_t>(facts.compressedSize);
    if (directoryOffset > 0xFFFFFFFFULL) {
        error = source + L" is too large for a zip variant (4 GiB or more)";
        return false;
    }
    const std::string tail = CentralDirectoryAndEnd(header, facts, static_cast<std::uint32_t>(directoryOffset));
    const std::string local = LocalHeader(header, facts);
    LARGE_INTEGER start{};
    if (!WriteAll(out.get(), tail.data(), tail.size()) || !::SetFilePointerEx(out.get(), start, nullptr, FILE_BEGIN) ||
        !WriteAll(out.get(), local.data(), local.size())) {
        error = SystemError(L"cannot write", target);
        return false;
    }
    if (!::FlushFileBuffers(out.get()) && ::GetLastError() != ERROR_INVALID_FUNCTION) {
        error = SystemError(L"cannot write", target);
        return false;
    }
    return true;
}

}  // namespace

bool WriteSingleEntryZip(const std::wstring& source, const std::wstring& target, const std::wstring& entryName,
                         const FILETIME& modified, ZipEntryFacts& facts, std::wstring& error) {
    EntryHeader header;
    header.name = Narrow(entryName, CodePage::Utf8);
    if (!IsAscii(header.name)) header.flags |= kFlagUtf8;
    header.extra = TimestampExtra(modified);
    header.time = ToDosTime(modified);
    facts = ZipEntryFacts{};
    facts.name = entryName;
    if (header.name.size() > 0xFFFF) {
        error = L"the name is too long for a zip entry: " + entryName;
        return false;
    }
    if (WriteZip(source, target, header, facts, error)) return true;
    DeleteFileForce(target);
    return false;
}

bool ReadSingleEntryFacts(const std::wstring& archive, ZipEntryFacts& facts) {
    UniqueFile file(::CreateFileW(archive.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) ||
        size.QuadPart < static_cast<LONGLONG>(kLocalHeaderSize + kCentralHeaderSize + kEndRecordSize))
        return false;
    // The archives this tool writes have no comment: the end record is the
    // last 22 bytes, and the central directory (one entry) comes before it.
    auto readAt = [&](LONGLONG offset, void* buffer, DWORD length) {
        LARGE_INTEGER at{};
        at.QuadPart = offset;
        DWORD got = 0;
        return ::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) &&
               ::ReadFile(file.get(), buffer, length, &got, nullptr) && got == length;
    };
    unsigned char end[kEndRecordSize];
    if (!readAt(size.QuadPart - static_cast<LONGLONG>(kEndRecordSize), end, sizeof end)) return false;
    if (ReadU32(end) != kEndSignature || ReadU16(end + 8) != 1 || ReadU16(end + 10) != 1 || ReadU16(end + 20) != 0)
        return false;
    const std::uint32_t directorySize = ReadU32(end + 12);
    const std::uint32_t directoryOffset = ReadU32(end + 16);
    if (directorySize < kCentralHeaderSize || directorySize > 0x20000 ||
        static_cast<LONGLONG>(directoryOffset) + directorySize + static_cast<LONGLONG>(kEndRecordSize) != size.QuadPart)
        return false;
    std::vector<unsigned char> directory(directorySize);
    if (!readAt(directoryOffset, directory.data(), directorySize)) return false;
    const unsigned char* c = directory.data();
    const std::uint32_t nameLength = ReadU16(c + 28);
    if (ReadU32(c) != kCentralSignature || ReadU16(c + 10) != kMethodDeflate ||
        kCentralHeaderSize + nameLength + ReadU16(c + 30) + ReadU16(c + 32) != directorySize || ReadU32(c + 42) != 0)
        return false;
    facts.crc = ReadU32(c + 16);
    facts.compressedSize = ReadU32(c + 20);
    facts.size = ReadU32(c + 24);
    facts.name = Widen(std::string_view(reinterpret_cast<const char*>(c + kCentralHeaderSize), nameLength),
                       (ReadU16(c + 8) & kFlagUtf8) != 0 ? CodePage::Utf8 : CodePage::Ansi);
    // The local header must agree, or the archive was damaged after it was
    // written.
    unsigned char local[kLocalHeaderSize];
    if (!readAt(0, local, sizeof local) || ReadU32(local) != kLocalSignature || ReadU32(local + 14) != facts.crc ||
        ReadU32(local + 18) != facts.compressedSize || ReadU32(local + 22) != facts.size ||
        kLocalHeaderSize + ReadU16(local + 26) + ReadU16(local + 28) +
                static_cast<std::uint64_t>(facts.compressedSize) !=
            directoryOffset)
        return false;
    return true;
}

}  // namespace mf::publish
