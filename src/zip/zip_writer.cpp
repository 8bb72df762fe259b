#include "zip/zip_writer.h"

#include <zlib.h>

#include "base/handles.h"
#include "base/strings.h"
#include "zip/zip_format.h"

namespace mf {

namespace {

constexpr std::size_t kChunk = 256 * 1024;
constexpr std::uint16_t kEarliestDosDate = (1 << 5) | 1;  // 1980-01-01, the earliest a zip can say
constexpr std::uint32_t kArchiveAttribute = FILE_ATTRIBUTE_ARCHIVE;

void Put16(std::string& out, std::uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

bool IsAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Seconds since 1970 for the extended timestamp, when the time fits its
// signed 32 bits.
std::optional<std::uint32_t> UnixSeconds(const FILETIME& utc) {
    const ULONGLONG ticks = (static_cast<ULONGLONG>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
    constexpr ULONGLONG kEpoch = 116444736000000000ULL;
    if (ticks < kEpoch) return std::nullopt;
    const ULONGLONG seconds = (ticks - kEpoch) / 10000000ULL;
    if (seconds > 0x7FFFFFFFULL) return std::nullopt;
    return static_cast<std::uint32_t>(seconds);
}

std::string TimestampExtra(const FILETIME& modified) {
    const std::optional<std::uint32_t> seconds = UnixSeconds(modified);
    if (!seconds) return {};
    std::string extra;
    Put16(extra, kZipExtendedTimestampTag);
    Put16(extra, 5);
    extra.push_back(static_cast<char>(kZipTimestampModified));
    Put32(extra, *seconds);
    return extra;
}

}  // namespace

// Raw deflate (no zlib header), as zip entries hold it, at the best level.
class ZipWriter::Deflater {
public:
    Deflater() {
        ok_ = deflateInit2(&stream_, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater() {
        if (ok_) deflateEnd(&stream_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    [[nodiscard]] bool ok() const { return ok_; }
    std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
    std::uint64_t in = 0;
    std::uint64_t out = 0;

    // Compresses the bytes (and ends the stream when `finish`) through the
    // writer.
    bool Feed(ZipWriter& writer, const void* data, std::size_t size, bool finish) {
        crc = static_cast<std::uint32_t>(crc32(crc, static_cast<const Bytef*>(data), static_cast<uInt>(size)));
        in += size;
        stream_.next_in = static_cast<Bytef*>(const_cast<void*>(data));
        stream_.avail_in = static_cast<uInt>(size);
        for (;;) {
            stream_.next_out = buffer_.data();
            stream_.avail_out = static_cast<uInt>(buffer_.size());
            const int result = deflate(&stream_, finish ? Z_FINISH : Z_NO_FLUSH);
            if (result == Z_STREAM_ERROR) return false;
            const std::size_t produced = buffer_.size() - stream_.avail_out;
            if (produced > 0 && !writer.Write(buffer_.data(), produced)) return false;
            out += produced;
            if (finish ? result == Z_STREAM_END : stream_.avail_out != 0) return true;
        }
    }

private:
    z_stream stream_{};
    bool ok_ = false;
    std::vector<unsigned char> buffer_ = std::vector<unsigned char>(kChunk);
};

ZipWriter::ZipWriter(HANDLE file) : file_(file) {
    LARGE_INTEGER end{};
    LARGE_INTEGER zero{};
    if (::SetFilePointerEx(file_, zero, &end, FILE_END)) start_ = end.QuadPart;
}

bool ZipWriter::Fail(std::wstring what) {
    if (error_.empty()) error_ = std::move(what);
    return false;
}

bool ZipWriter::Write(const void* data, std::size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(size < (1u << 20) ? size : (1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file_, p, piece, &written, nullptr) || written == 0)
            return Fail(L"cannot write the archive (error " + std::to_wstring(::GetLastError()) + L")");
        p += written;
        size -= written;
        position_ += written;
    }
    if (static_cast<std::uint64_t>(position_) > kZipLimit) return Fail(L"the archive grows beyond 4 GiB");
    return true;
}

bool ZipWriter::Begin(const std::wstring& name, const FILETIME& modified, Entry& entry) {
    entry.written.name = name;
    entry.name = Narrow(Replaced(name, L"\\", L"/"), CodePage::Utf8);
    if (entry.name.size() > 0xFFFF) return Fail(L"the name is too long for a zip entry: " + name);
    entry.flags = kZipFlagBestLevel;
    if (!IsAscii(entry.name)) entry.flags |= kZipFlagUtf8;
    entry.extra = TimestampExtra(modified);
    FILETIME local{};
    if (!::FileTimeToLocalFileTime(&modified, &local) ||
        !::FileTimeToDosDateTime(&local, &entry.dosDate, &entry.dosTime)) {
        entry.dosDate = kEarliestDosDate;
        entry.dosTime = 0;
    }
    entry.headerOffset = static_cast<std::uint32_t>(position_);
    std::string header;
    Put32(header, kZipLocalSignature);
    Put16(header, kZipVersionDeflate);
    Put16(header, entry.flags);
    Put16(header, kZipMethodDeflated);
    Put16(header, entry.dosTime);
    Put16(header, entry.dosDate);
    Put32(header, 0);  // CRC and sizes, completed when the data is written
    Put32(header, 0);
    Put32(header, 0);
    Put16(header, static_cast<std::uint32_t>(entry.name.size()));
    Put16(header, static_cast<std::uint32_t>(entry.extra.size()));
    header += entry.name;
    header += entry.extra;
    return Write(header.data(), header.size());
}

bool ZipWriter::Complete(Entry& entry, const Deflater& deflater) {
    if (deflater.in > kZipLimit || deflater.out > kZipLimit)
        return Fail(entry.written.name + L" is too large for a zip entry (4 GiB or more)");
    entry.written.crc = deflater.crc;
    entry.written.compressedSize = static_cast<std::uint32_t>(deflater.out);
    entry.written.size = static_cast<std::uint32_t>(deflater.in);
    std::string fields;
    Put32(fields, entry.written.crc);
    Put32(fields, entry.written.compressedSize);
    Put32(fields, entry.written.size);
    LARGE_INTEGER at{};
    at.QuadPart = start_ + entry.headerOffset + static_cast<std::int64_t>(kZipLocalCrcOffset);
    DWORD written = 0;
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) ||
        !::WriteFile(file_, fields.data(), static_cast<DWORD>(fields.size()), &written, nullptr) ||
        written != fields.size() || !::SetFilePointerEx(file_, zero, nullptr, FILE_END))
        return Fail(L"cannot complete the header of " + entry.written.name);
    entries_.push_back(std::move(entry));
    return true;
}

bool ZipWriter::AddFile(const std::wstring& name, const std::wstring& sourcePath, std::optional<FILETIME> modified) {
    const UniqueFile source(::CreateFileW(sourcePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source) return Fail(L"cannot open " + sourcePath + L" (error " + std::to_wstring(::GetLastError()) + L")");
    FILETIME time{};
    if (modified) {
        time = *modified;
    } else {
        ::GetFileTime(source.get(), nullptr, nullptr, &time);
    }
    Entry entry;
    Deflater deflater;
    if (!deflater.ok()) return Fail(L"cannot start the compressor");
    if (!Begin(name, time, entry)) return false;
    std::vector<char> chunk(kChunk);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(source.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr))
            return Fail(L"cannot read " + sourcePath + L" (error " + std::to_wstring(::GetLastError()) + L")");
        const bool last = read == 0;
        if (!deflater.Feed(*this, chunk.data(), read, last)) return Fail(L"cannot compress " + sourcePath);
        if (last) break;
    }
    return Complete(entry, deflater);
}

bool ZipWriter::AddBytes(const std::wstring& name, std::string_view bytes) {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    Entry entry;
    Deflater deflater;
    if (!deflater.ok()) return Fail(L"cannot start the compressor");
    if (!Begin(name, now, entry)) return false;
    if (!deflater.Feed(*this, bytes.data(), bytes.size(), true)) return Fail(L"cannot compress " + name);
    return Complete(entry, deflater);
}

bool ZipWriter::Finish() {
    if (!error_.empty()) return false;
    if (entries_.size() > 0xFFFF) return Fail(L"too many entries for one archive");
    const auto directoryOffset = static_cast<std::uint32_t>(position_);
    std::string directory;
    for (const Entry& entry : entries_) {
        Put32(directory, kZipCentralSignature);
        Put16(directory, kZipVersionDeflate);  // made by
        Put16(directory, kZipVersionDeflate);  // needed
        Put16(directory, entry.flags);
        Put16(directory, kZipMethodDeflated);
        Put16(directory, entry.dosTime);
        Put16(directory, entry.dosDate);
        Put32(directory, entry.written.crc);
        Put32(directory, entry.written.compressedSize);
        Put32(directory, entry.written.size);
        Put16(directory, static_cast<std::uint32_t>(entry.name.size()));
        Put16(directory, static_cast<std::uint32_t>(entry.extra.size()));
        Put16(directory, 0);  // comment
        Put16(directory, 0);  // disk
        Put16(directory, 0);  // internal attributes
        Put32(directory, kArchiveAttribute);
        Put32(directory, entry.headerOffset);
        directory += entry.name;
        directory += entry.extra;
    }
    const auto count = static_cast<std::uint16_t>(entries_.size());
    std::string end;
    Put32(end, kZipEndSignature);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, count);
    Put16(end, count);
    Put32(end, static_cast<std::uint32_t>(directory.size()));
    Put32(end, directoryOffset);
    Put16(end, 0);
    return Write(directory.data(), directory.size()) && Write(end.data(), end.size());
}

}  // namespace mf
