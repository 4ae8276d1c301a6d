#include "convert/HeaderClaims.h"

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace halvane::convert {
namespace {

// N bytes of the file from offset; false unless all of them were read.
template <std::size_t N> bool ReadAt(int fd, std::uint64_t offset, std::array<unsigned char, N>& bytes)
{
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
    std::size_t got = 0;
    while (got < N) {
        const ssize_t n = ::pread(fd, bytes.data() + got, N - got, static_cast<off_t>(offset + got));
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

std::uint64_t Le(const unsigned char* p, int bytes)
{
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

std::uint64_t Be(const unsigned char* p, int bytes)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | p[i];
    return v;
}

bool Is(const unsigned char* p, std::string_view id) { return std::memcmp(p, id.data(), id.size()) == 0; }

// An 80-bit IEEE extended float (AIFF's sample rate): sign, 15-bit exponent, 64-bit mantissa
// with an explicit integer bit.
double Extended(const unsigned char* p)
{
    const int exponent = static_cast<int>(Be(p, 2) & 0x7FFF);
    const std::uint64_t mantissa = Be(p + 2, 8);
    const double sign = (p[0] & 0x80) != 0 ? -1.0 : 1.0;
    if (exponent == 0x7FFF) return mantissa << 1 == 0 ? sign * HUGE_VAL : std::nan("");
    return sign * std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
}

void ReadRiff(int fd, std::uint64_t fileBytes, bool sixtyFour, HeaderClaims& claims)
{
    std::optional<std::uint64_t> ds64DataBytes;
    std::uint64_t at = 12;
    for (int chunk = 0; chunk < kMaxChunks && at + 8 <= fileBytes; ++chunk) {
        std::array<unsigned char, 8> head{};
        if (!ReadAt(fd, at, head)) return;
        const std::uint64_t size = Le(head.data() + 4, 4);
        if (Is(head.data(), "ds64") && at + 8 + 16 <= fileBytes) {
            std::array<unsigned char, 16> sizes{};
            if (ReadAt(fd, at + 8, sizes)) ds64DataBytes = Le(sizes.data() + 8, 8);
        }
        if (Is(head.data(), "data")) {
            claims.dataStart = at + 8;
            if (sixtyFour && size == 0xFFFFFFFF) {
                claims.dataBytes = ds64DataBytes;
            } else if (size != 0xFFFFFFFF) {
                claims.dataBytes = size;
            }
            return;
        }
        if (size > fileBytes) return;
        at += 8 + size + (size & 1);
    }
}

constexpr std::array<unsigned char, 12> kWave64GuidTail{0xF3, 0xAC, 0xD3, 0x11, 0x8C, 0xD1,
                                                        0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};

void ReadWave64(int fd, std::uint64_t fileBytes, HeaderClaims& claims)
{
    std::uint64_t at = 40;
    for (int chunk = 0; chunk < kMaxChunks && at + 24 <= fileBytes; ++chunk) {
        std::array<unsigned char, 16> guid{};
        std::array<unsigned char, 8> sizeBytes{};
        if (!ReadAt(fd, at, guid) || !ReadAt(fd, at + 16, sizeBytes)) return;
        const std::uint64_t size = Le(sizeBytes.data(), 8);  // counts the 24-byte chunk header
        if (size < 24) return;
        if (Is(guid.data(), "data") && std::memcmp(guid.data() + 4, kWave64GuidTail.data(), 12) == 0) {
            claims.dataStart = at + 24;
            claims.dataBytes = size - 24;
            return;
        }
        if (size > fileBytes) return;
        at += (size + 7) / 8 * 8;
    }
}

void ReadAiff(int fd, std::uint64_t fileBytes, HeaderClaims& claims)
{
    std::uint64_t at = 12;
    for (int chunk = 0; chunk < kMaxChunks && at + 8 <= fileBytes; ++chunk) {
        std::array<unsigned char, 8> head{};
        if (!ReadAt(fd, at, head)) return;
        const std::uint64_t size = Be(head.data() + 4, 4);
        if (Is(head.data(), "COMM")) {
            // Channels (2 bytes), frames (4), bits (2), then the rate (10).
            std::array<unsigned char, 18> comm{};
            if (ReadAt(fd, at + 8, comm)) claims.aiffRateHz = Extended(comm.data() + 8);
        } else if (Is(head.data(), "SSND")) {
            std::array<unsigned char, 8> offsets{};
            if (ReadAt(fd, at + 8, offsets) && size >= 8 + Be(offsets.data(), 4)) {
                const std::uint64_t skipped = Be(offsets.data(), 4);
                claims.dataStart = at + 16 + skipped;
                claims.dataBytes = size - 8 - skipped;
            }
        }
        at += 8 + size + (size & 1);
    }
}

void ReadCaf(int fd, std::uint64_t fileBytes, HeaderClaims& claims)
{
    std::uint64_t at = 8;
    for (int chunk = 0; chunk < kMaxChunks && at + 12 <= fileBytes; ++chunk) {
        std::array<unsigned char, 12> head{};
        if (!ReadAt(fd, at, head)) return;
        const std::uint64_t size = Be(head.data() + 4, 8);
        if (Is(head.data(), "data")) {
            claims.dataStart = at + 16;  // after the edit count
            if (size != std::numeric_limits<std::uint64_t>::max() && size >= 4) claims.dataBytes = size - 4;
            return;
        }
        if (size > fileBytes) return;
        at += 12 + size;
    }
}

}  // namespace

HeaderClaims ReadHeaderClaims(int fd, std::uint64_t fileBytes)
{
    HeaderClaims claims;
    std::array<unsigned char, 16> start{};
    if (fileBytes < 16 || !ReadAt(fd, 0, start)) return claims;
    const unsigned char* s = start.data();
    if ((Is(s, "RIFF") || Is(s, "RF64") || Is(s, "BW64")) && Is(s + 8, "WAVE")) {
        ReadRiff(fd, fileBytes, !Is(s, "RIFF"), claims);
    } else if (Is(s, "riff") && fileBytes >= 40) {
        ReadWave64(fd, fileBytes, claims);
    } else if (Is(s, "FORM") && (Is(s + 8, "AIFF") || Is(s + 8, "AIFC"))) {
        ReadAiff(fd, fileBytes, claims);
    } else if (Is(s, "caff")) {
        ReadCaf(fd, fileBytes, claims);
    }
    return claims;
}

}  // namespace halvane::convert
