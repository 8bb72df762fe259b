#include "zip_writer.h"

#include <zlib.h>

#include <limits>

#include "base/handles.h"
#include "base/strings.h"

namespace mf::pack {

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint16_t kVersion = 20;           // 2.0: deflate; made on an MS-DOS host
constexpr std::uint16_t kUtf8Names = 0x0800;
constexpr std::uint16_t kDeflated = 8;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCrcField = 14;            // crc, compressed and plain size follow
constexpr std::size_t kChunk = 64 * 1024;
constexpr std::uint64_t kZipLimit = std::numeric_limits<std::uint32_t>::max();

void Put16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void Put32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

// Raw deflate (no zlib header), as zip entries hold it.
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

    // Compresses the bytes (all of them when `finish`) through the writer.
    bool Feed(ZipWriter& writer, const void* data, std::size_t size, bool finish) {
        crc = static_cast<std::uint32_t>(crc32(crc, static_cast<const Bytef*>(data), static_cast<uInt>(size)));
        in += size;
        stream_.next_in = static_cast<Bytef*>(const_cast<void*>(data));
        stream_.avail_in = static_cast<uInt>(size);
        unsigned char buffer[kChunk];
        for (;;) {
            stream_.next_out = buffer;
            stream_.avail_out = sizeof buffer;
            const int result = deflate(&stream_, finish ? Z_FINISH : Z_NO_FLUSH);
            if (result == Z_STREAM_ERROR) return false;
            const std::size_t produced = sizeof buffer - stream_.avail_out;
            if (produced > 0 && !writer.Write(buffer, produced)) return false;
            out += produced;
            if (finish ? result == Z_STREAM_END : stream_.avail_out != 0) return true;
        }
    }

private:
    z_stream stream_{};
    bool ok_ = false;
};

ZipWriter::ZipWriter(HANDLE file) : file_(file) {
    LARGE_INTEGER end{};
    LARGE_INTEGER zero{};
    if (::SetFilePointerEx(file_, zero, &end, FILE_END)) start_ = end.QuadPart;
}

bool ZipWriter::Fail(std::string what) {
    if (error_.empty()) error_ = std::move(what);
    return false;
}

bool ZipWriter::Write(const void* data, std::size_t size) {
    DWORD written = 0;
    if (!::WriteFile(file_, data, static_cast<DWORD>(size), &written, nullptr) || written != size)
        return Fail("cannot write the output file");
    position_ += static_cast<std::int64_t>(size);
    if (static_cast<std::uint64_t>(position_) > kZipLimit) return Fail("the package grows beyond 4 GiB");
    return true;
}

bool ZipWriter::Begin(const std::wstring& name, const FILETIME& modified, Entry& entry) {
    entry.name = Narrow(Replaced(name, L"\\", L"/"), CodePage::Utf8);
    if (entry.name.size() > 0xFFFF) return Fail("an entry name is too long");
    FILETIME local{};
    if (!::FileTimeToLocalFileTime(&modified, &local) ||
        !::FileTimeToDosDateTime(&local, &entry.dosDate, &entry.dosTime)) {
        entry.dosDate = (1 << 5) | 1;  // 1980-01-01
        entry.dosTime = 0;
    }
    entry.headerOffset = static_cast<std::uint32_t>(position_);
    std::string header;
    Put32(header, kLocalSignature);
    Put16(header, kVersion);
    Put16(header, kUtf8Names);
    Put16(header, kDeflated);
    Put16(header, entry.dosTime);
    Put16(header, entry.dosDate);
    Put32(header, 0);  // crc and sizes, completed when the data is written
    Put32(header, 0);
    Put32(header, 0);
    Put16(header, static_cast<std::uint16_t>(entry.name.size()));
    Put16(header, 0);
    header += entry.name;
    return Write(header.data(), header.size());
}

bool ZipWriter::Complete(Entry& entry, Deflater& deflater) {
    if (deflater.in > kZipLimit || deflater.out > kZipLimit) return Fail("a file is too large for the package");
    entry.crc = deflater.crc;
    entry.compressed = static_cast<std::uint32_t>(deflater.out);
    entry.size = static_cast<std::uint32_t>(deflater.in);
    std::string fields;
    Put32(fields, entry.crc);
    Put32(fields, entry.compressed);
    Put32(fields, entry.size);
    LARGE_INTEGER at{};
    at.QuadPart = start_ + entry.headerOffset + static_cast<std::int64_t>(kCrcField);
    DWORD written = 0;
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) ||
        !::WriteFile(file_, fields.data(), static_cast<DWORD>(fields.size()), &written, nullptr) ||
        written != fields.size() || !::SetFilePointerEx(file_, zero, nullptr, FILE_END))
        return Fail("cannot complete an entry's header");
    entries_.push_back(entry);
    return true;
}

bool ZipWriter::AddFile(const std::wstring& name, const std::wstring& sourcePath) {
    const UniqueFile source(::CreateFileW(sourcePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source) return Fail("cannot read " + Narrow(sourcePath, CodePage::Utf8));
    FILETIME modified{};
    ::GetFileTime(source.get(), nullptr, nullptr, &modified);
    Entry entry;
    Deflater deflater;
    if (!deflater.ok()) return Fail("cannot start the compressor");
    if (!Begin(name, modified, entry)) return false;
    std::vector<char> chunk(kChunk);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(source.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr))
            return Fail("cannot read " + Narrow(sourcePath, CodePage::Utf8));
        const bool last = read == 0;
        if (!deflater.Feed(*this, chunk.data(), read, last))
            return Fail("cannot compress " + Narrow(sourcePath, CodePage::Utf8));
        if (last) break;
    }
    return Complete(entry, deflater);
}

bool ZipWriter::AddBytes(const std::wstring& name, std::string_view bytes) {
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    Entry entry;
    Deflater deflater;
    if (!deflater.ok()) return Fail("cannot start the compressor");
    if (!Begin(name, now, entry)) return false;
    if (!deflater.Feed(*this, bytes.data(), bytes.size(), true)) return Fail("cannot compress an entry");
    return Complete(entry, deflater);
}

bool ZipWriter::Finish() {
    if (entries_.size() > 0xFFFF) return Fail("too many files for one package");
    const auto directoryOffset = static_cast<std::uint32_t>(position_);
    std::string directory;
    for (const Entry& entry : entries_) {
        Put32(directory, kCentralSignature);
        Put16(directory, kVersion);
        Put16(directory, kVersion);
        Put16(directory, kUtf8Names);
        Put16(directory, kDeflated);
        Put16(directory, entry.dosTime);
        Put16(directory, entry.dosDate);
        Put32(directory, entry.crc);
        Put32(directory, entry.compressed);
        Put32(directory, entry.size);
        Put16(directory, static_cast<std::uint16_t>(entry.name.size()));
        Put16(directory, 0);  // extra field
        Put16(directory, 0);  // comment
        Put16(directory, 0);  // disk
        Put16(directory, 0);  // internal attributes
        Put32(directory, FILE_ATTRIBUTE_ARCHIVE);
        Put32(directory, entry.headerOffset);
        directory += entry.name;
    }
    const auto count = static_cast<std::uint16_t>(entries_.size());
    std::string end;
    Put32(end, kEndSignature);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, count);
    Put16(end, count);
    Put32(end, static_cast<std::uint32_t>(directory.size()));
    Put32(end, directoryOffset);
    Put16(end, 0);
    return Write(directory.data(), directory.size()) && Write(end.data(), end.size());
}

}  // namespace mf::pack
