#include "bformat/ByteReader.h"

#include <bit>

namespace halvane {

std::uint8_t ReadU8(std::span<const std::byte> image, std::int64_t offset)
{
    if (offset < 0 || offset >= static_cast<std::int64_t>(image.size())) return 0;
    return static_cast<std::uint8_t>(image[static_cast<std::size_t>(offset)]);
}

std::uint16_t ReadU16Le(std::span<const std::byte> image, std::int64_t offset)
{
    return static_cast<std::uint16_t>(ReadU8(image, offset) | (ReadU8(image, offset + 1) << 8));
}

std::int16_t ReadI16Le(std::span<const std::byte> image, std::int64_t offset)
{
    return std::bit_cast<std::int16_t>(ReadU16Le(image, offset));
}

std::uint32_t ReadU32Le(std::span<const std::byte> image, std::int64_t offset)
{
    return static_cast<std::uint32_t>(ReadU16Le(image, offset)) |
           (static_cast<std::uint32_t>(ReadU16Le(image, offset + 2)) << 16);
}

std::int32_t ReadI32Le(std::span<const std::byte> image, std::int64_t offset)
{
    return std::bit_cast<std::int32_t>(ReadU32Le(image, offset));
}

float ReadF32Le(std::span<const std::byte> image, std::int64_t offset)
{
    return std::bit_cast<float>(ReadU32Le(image, offset));
}

std::string ReadChars(std::span<const std::byte> image, std::int64_t offset, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) text.push_back(static_cast<char>(ReadU8(image, offset + i)));
    return text;
}

}  // namespace halvane
