#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace halvane {

// Little-endian reads at 0-based byte offsets of an in-memory file image.
// A byte outside the image (before its start or past its end) reads as 0, so
// a read that straddles the end keeps the bytes that exist and zeros the rest.
// Never undefined behaviour, whatever the offset.
std::uint8_t ReadU8(std::span<const std::byte> image, std::int64_t offset);
std::uint16_t ReadU16Le(std::span<const std::byte> image, std::int64_t offset);
std::int16_t ReadI16Le(std::span<const std::byte> image, std::int64_t offset);
std::uint32_t ReadU32Le(std::span<const std::byte> image, std::int64_t offset);
std::int32_t ReadI32Le(std::span<const std::byte> image, std::int64_t offset);
float ReadF32Le(std::span<const std::byte> image, std::int64_t offset);
// count bytes as characters (a zero byte for each byte outside the image).
std::string ReadChars(std::span<const std::byte> image, std::int64_t offset, int count);

}  // namespace halvane
