#include "zip/zip_entry_reader.h"

#include <algorithm>
#include <cstring>

namespace mf {
namespace {

constexpr std::size_t kEncryptionHeaderSize = 12;

std::uint32_t CrcByte(std::uint32_t crc, unsigned char byte) {
    static const z_crc_t* const table = get_crc_table();
    return static_cast<std::uint32_t>(table[(crc ^ byte) & 0xFF]) ^ (crc >> 8);
}

}  // namespace

ZipDecrypter::ZipDecrypter(std::string_view password) : keys_{0x12345678, 0x23456789, 0x34567890} {
    for (char c : password) Update(static_cast<unsigned char>(c));
}

void ZipDecrypter::Update(unsigned char plain) {
    keys_[0] = CrcByte(keys_[0], plain);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = CrcByte(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
}

void ZipDecrypter::Decrypt(unsigned char* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned temp = (keys_[2] | 2) & 0xFFFF;
        data[i] = static_cast<unsigned char>(data[i] ^ (((temp * (temp ^ 1)) >> 8) & 0xFF));
        Update(data[i]);
    }
}

ZipEntryReader::~ZipEntryReader() {
    if (streamReady_) inflateEnd(&stream_);
}

ZipResult ZipEntryReader::Open(ByteSource& source, const CentralEntry& entry, std::uint64_t dataOffset,
                               const std::optional<std::string>& password) {
    source_ = &source;
    expectedCrc_ = entry.crc;
    outputLeft_ = entry.uncompressedSize;
    nextInput_ = dataOffset;
    inputLeft_ = entry.compressedSize;
    if (entry.flags & kZipFlagStrongEncryption) return ZipResult::DataError;
    if (entry.method != kZipMethodStored && entry.method != kZipMethodDeflated) return ZipResult::DataError;
    if (dataOffset > source.Size() || inputLeft_ > source.Size() - dataOffset) return ZipResult::DataError;

    if (entry.flags & kZipFlagEncrypted) {
        if (!password) return ZipResult::WrongPassword;
        if (inputLeft_ < kEncryptionHeaderSize) return ZipResult::DataError;
        unsigned char header[kEncryptionHeaderSize];
        if (!source.ReadAt(nextInput_, header, sizeof header)) return ZipResult::DataError;
        decrypter_.emplace(*password);
        decrypter_->Decrypt(header, sizeof header);
        // The last header byte repeats the high byte of the CRC, or of the
        // time when the CRC was only known after the data (data descriptor).
        const unsigned char check = (entry.flags & kZipFlagDataDescriptor)
                                        ? static_cast<unsigned char>(entry.dosTime >> 8)
                                        : static_cast<unsigned char>(entry.crc >> 24);
        if (header[kEncryptionHeaderSize - 1] != check) return ZipResult::WrongPassword;
        nextInput_ += kEncryptionHeaderSize;
        inputLeft_ -= kEncryptionHeaderSize;
    }

    deflated_ = entry.method == kZipMethodDeflated;
    if (!deflated_ && inputLeft_ != outputLeft_) return ZipResult::DataError;
    if (deflated_) {
        if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) return ZipResult::DataError;
        streamReady_ = true;
    }
    input_.resize(kBlockSize);
    return ZipResult::Ok;
}

bool ZipEntryReader::Fill() {
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(inputLeft_, input_.size()));
    if (length == 0 || !source_->ReadAt(nextInput_, input_.data(), length)) return false;
    if (decrypter_) decrypter_->Decrypt(input_.data(), length);
    nextInput_ += length;
    inputLeft_ -= length;
    inputPos_ = 0;
    inputEnd_ = length;
    stream_.next_in = input_.data();
    stream_.avail_in = static_cast<uInt>(length);
    return true;
}

ZipResult ZipEntryReader::ReadStored(unsigned char* out, std::size_t want, std::size_t& produced) {
    while (produced < want) {
        if (inputPos_ == inputEnd_ && !Fill()) return ZipResult::DataError;
        const std::size_t n = std::min(want - produced, inputEnd_ - inputPos_);
        std::memcpy(out + produced, input_.data() + inputPos_, n);
        inputPos_ += n;
        produced += n;
    }
    return ZipResult::Ok;
}

ZipResult ZipEntryReader::ReadDeflated(unsigned char* out, std::size_t want, std::size_t& produced) {
    while (produced < want) {
        if (streamEnded_) return ZipResult::DataError;  // the stream ended before the declared size
        if (stream_.avail_in == 0 && inputLeft_ != 0 && !Fill()) return ZipResult::DataError;
        const std::size_t room = std::min<std::size_t>(want - produced, 0x40000000);
        stream_.next_out = out + produced;
        stream_.avail_out = static_cast<uInt>(room);
        const int status = inflate(&stream_, Z_NO_FLUSH);
        const std::size_t made = room - stream_.avail_out;
        produced += made;
        if (status == Z_STREAM_END) {
            streamEnded_ = true;
        } else if (status == Z_BUF_ERROR) {
            if (made == 0 && stream_.avail_in == 0 && inputLeft_ == 0) return ZipResult::DataError;
        } else if (status != Z_OK) {
            return ZipResult::DataError;
        }
    }
    return ZipResult::Ok;
}

ZipResult ZipEntryReader::Read(unsigned char* out, std::size_t size, std::size_t& produced) {
    produced = 0;
    if (verified_) return ZipResult::Ok;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size, outputLeft_));
    const ZipResult result = deflated_ ? ReadDeflated(out, want, produced) : ReadStored(out, want, produced);
    if (produced != 0) crc_ = static_cast<std::uint32_t>(crc32(crc_, out, static_cast<uInt>(produced)));
    outputLeft_ -= produced;
    if (result != ZipResult::Ok) return result;
    return outputLeft_ == 0 ? Verify() : ZipResult::Ok;
}

// All declared bytes are out: the deflate stream must end right here and the
// CRC-32 must match, or the caller would take damaged data for the file.
ZipResult ZipEntryReader::Verify() {
    while (deflated_ && !streamEnded_) {
        // zlib may hold the end of the stream in its state without any input
        // left, so it is asked at least once more.
        if (stream_.avail_in == 0 && inputLeft_ != 0 && !Fill()) return ZipResult::DataError;
        unsigned char surplus = 0;
        stream_.next_out = &surplus;
        stream_.avail_out = 1;
        const int status = inflate(&stream_, Z_NO_FLUSH);
        if (stream_.avail_out == 0) return ZipResult::DataError;  // more data than declared
        if (status == Z_STREAM_END) {
            streamEnded_ = true;
        } else if (status != Z_OK) {
            return ZipResult::DataError;  // damaged, or cut off before its end
        }
    }
    if (crc_ != expectedCrc_) return ZipResult::DataError;
    verified_ = true;
    return ZipResult::Ok;
}

}  // namespace mf
