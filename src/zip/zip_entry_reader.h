// Reads one entry's data: decrypts it (traditional PKWARE encryption),
// inflates it with zlib's raw inflate or copies it when stored, and checks
// size and CRC-32 before it ever says the entry is complete.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zip/byte_source.h"
#include "zip/zip_container.h"
#include "zip/zip_result.h"

namespace mf {

// The three keys of the traditional PKWARE cipher.
class ZipDecrypter {
public:
    explicit ZipDecrypter(std::string_view password);
    void Decrypt(unsigned char* data, std::size_t length);

private:
    void Update(unsigned char plain);
    std::uint32_t keys_[3];
};

class ZipEntryReader {
public:
    static constexpr std::size_t kBlockSize = 0x4000;

    ZipEntryReader() = default;
    ~ZipEntryReader();
    ZipEntryReader(const ZipEntryReader&) = delete;
    ZipEntryReader& operator=(const ZipEntryReader&) = delete;

    // Prepares reading `entry`, whose data starts at `dataOffset`. An
    // encrypted entry needs the right password (WrongPassword otherwise).
    [[nodiscard]] ZipResult Open(ByteSource& source, const CentralEntry& entry, std::uint64_t dataOffset,
                                 const std::optional<std::string>& password);

    // Fills `out` with up to `size` bytes and tells how many came. Ok means no
    // error so far; once the whole entry has been produced and verified,
    // AtEnd() is true. Any fault of the data gives DataError.
    [[nodiscard]] ZipResult Read(unsigned char* out, std::size_t size, std::size_t& produced);
    [[nodiscard]] bool AtEnd() const { return verified_; }

private:
    [[nodiscard]] bool Fill();
    [[nodiscard]] ZipResult ReadStored(unsigned char* out, std::size_t want, std::size_t& produced);
    [[nodiscard]] ZipResult ReadDeflated(unsigned char* out, std::size_t want, std::size_t& produced);
    [[nodiscard]] ZipResult Verify();

    ByteSource* source_ = nullptr;
    bool deflated_ = false;
    std::optional<ZipDecrypter> decrypter_;
    std::uint64_t nextInput_ = 0;    // archive offset of the next compressed byte
    std::uint64_t inputLeft_ = 0;    // compressed bytes not yet read
    std::uint64_t outputLeft_ = 0;   // bytes the entry still owes
    std::uint32_t expectedCrc_ = 0;
    std::uint32_t crc_ = 0;
    std::vector<unsigned char> input_;
    std::size_t inputPos_ = 0;       // stored entries: the unread part of input_
    std::size_t inputEnd_ = 0;
    z_stream stream_{};
    bool streamReady_ = false;
    bool streamEnded_ = false;
    bool verified_ = false;
};

}  // namespace mf
