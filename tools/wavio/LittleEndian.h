#pragma once

// Bounds-checked little-endian decoding and encoding of file bytes.
// Every reader returns std::nullopt when the value would reach past the end of the bytes,
// so a caller can never read outside the image of a file, whatever its header says.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace halvane::wavio {

/// True when [offset, offset + count) lies inside bytes; safe against overflow of offset + count.
inline bool HasBytes(std::span<const std::byte> bytes, std::uint64_t offset, std::uint64_t count)
{
    return offset <= bytes.size() && count <= bytes.size() - offset;
}

inline std::optional<std::uint16_t> ReadU16Le(std::span<const std::byte> bytes, std::uint64_t offset)
{
    if (!HasBytes(bytes, offset, 2)) return std::nullopt;
    const auto at = static_cast<std::size_t>(offset);
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes[at]) |
                                      (std::to_integer<unsigned>(bytes[at + 1]) << 8));
}

inline std::optional<std::uint32_t> ReadU32Le(std::span<const std::byte> bytes, std::uint64_t offset)
{
    if (!HasBytes(bytes, offset, 4)) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | std::to_integer<std::uint32_t>(bytes[static_cast<std::size_t>(offset) + i]);
    return value;
}

inline std::optional<std::uint64_t> ReadU64Le(std::span<const std::byte> bytes, std::uint64_t offset)
{
    const auto low = ReadU32Le(bytes, offset);
    const auto high = ReadU32Le(bytes, offset + 4);
    if (!low || !high) return std::nullopt;
    return (static_cast<std::uint64_t>(*high) << 32) | *low;
}

/// Four bytes as text, for chunk identifiers ("RIFF", "fmt ", "data").
inline std::optional<std::string> ReadFourCc(std::span<const std::byte> bytes, std::uint64_t offset)
{
    if (!HasBytes(bytes, offset, 4)) return std::nullopt;
    std::string id(4, ' ');
    for (std::size_t i = 0; i < 4; ++i) id[i] = static_cast<char>(bytes[static_cast<std::size_t>(offset) + i]);
    return id;
}

// Unchecked loads for sample decoding, used only after the whole data range was checked.
inline std::uint32_t LoadU32Le(const std::byte* p)
{
    return std::to_integer<std::uint32_t>(p[0]) | (std::to_integer<std::uint32_t>(p[1]) << 8) |
           (std::to_integer<std::uint32_t>(p[2]) << 16) | (std::to_integer<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t LoadU64Le(const std::byte* p)
{
    return static_cast<std::uint64_t>(LoadU32Le(p)) | (static_cast<std::uint64_t>(LoadU32Le(p + 4)) << 32);
}

// Encoding into a byte string, as the writer builds its header.
inline void AppendU16Le(std::string& out, std::uint16_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

inline void AppendU32Le(std::string& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline void AppendF32Le(std::string& out, float value) { AppendU32Le(out, std::bit_cast<std::uint32_t>(value)); }

inline void AppendFourCc(std::string& out, std::string_view id) { out.append(id.substr(0, 4)); }

}  // namespace halvane::wavio
