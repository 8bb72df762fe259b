// The zip container's numbers, for the reader and the writer alike.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mf {

inline constexpr std::uint32_t kZipLocalSignature = 0x04034b50;
inline constexpr std::uint32_t kZipCentralSignature = 0x02014b50;
inline constexpr std::uint32_t kZipEndSignature = 0x06054b50;
inline constexpr std::size_t kZipLocalHeaderSize = 30;
inline constexpr std::size_t kZipCentralHeaderSize = 46;
inline constexpr std::size_t kZipEndRecordSize = 22;
inline constexpr std::size_t kZipMaxComment = 0xFFFF;
// In a local header: the CRC-32, then the compressed and the plain size.
inline constexpr std::size_t kZipLocalCrcOffset = 14;

// 2.0: deflate; as "made by", an MS-DOS host (the attributes are DOS ones).
inline constexpr std::uint16_t kZipVersionDeflate = 20;

inline constexpr std::uint16_t kZipFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kZipFlagBestLevel = 0x0002;  // deflated at the maximum level
inline constexpr std::uint16_t kZipFlagDataDescriptor = 0x0008;
inline constexpr std::uint16_t kZipFlagStrongEncryption = 0x0040;
inline constexpr std::uint16_t kZipFlagUtf8 = 0x0800;  // the name is UTF-8

inline constexpr std::uint16_t kZipMethodStored = 0;
inline constexpr std::uint16_t kZipMethodDeflated = 8;

// The extended timestamp extra field ("UT"): flags, then Unix seconds.
inline constexpr std::uint16_t kZipExtendedTimestampTag = 0x5455;
inline constexpr std::uint8_t kZipTimestampModified = 0x01;

// Every size and offset of an archive without ZIP64 fits 32 bits.
inline constexpr std::uint64_t kZipLimit = 0xFFFFFFFFULL;

}  // namespace mf
