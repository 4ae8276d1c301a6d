#include "report/NumberFormat.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace halvane {
namespace {

// The value rounded to `digits` significant digits, half to even on its
// exact binary value: significand (digits digits, or fewer when it ends in
// zeros that were dropped) and the decimal exponent of its first digit.
struct Rounded {
    std::uint64_t significand = 0;
    int exponent = 0;
};

// GCC's 128-bit integers: the products below need up to 128 bits.
__extension__ using Uint128 = unsigned __int128;

// 5^k for k = 0 .. 32 (5^32 < 2^75).
constexpr auto kPowersOfFive = [] {
    std::array<Uint128, 33> powers{};
    powers[0] = 1;
    for (std::size_t k = 1; k < powers.size(); ++k) powers[k] = powers[k - 1] * 5;
    return powers;
}();

constexpr std::array<std::uint64_t, 17> kPowersOfTen = {1ULL,
                                                        10ULL,
                                                        100ULL,
                                                        1000ULL,
                                                        10000ULL,
                                                        100000ULL,
                                                        1000000ULL,
                                                        10000000ULL,
                                                        100000000ULL,
                                                        1000000000ULL,
                                                        10000000000ULL,
                                                        100000000000ULL,
                                                        1000000000000ULL,
                                                        10000000000000ULL,
                                                        100000000000000ULL,
                                                        1000000000000000ULL,
                                                        10000000000000000ULL};

// Exact rounding in integers: with value = m * 2^e, the significand is
// m * 5^k * 2^(e + k) for k = digits - 1 - exponent, rounded at the binary
// point. Covers every value whose decimal exponent lies in
// [digits - 33, digits - 1], which is every number a table holds in
// practice (1E-18 to 1E+14 for 15 digits, 1E-26 to 1E+06 for 7); nullopt
// otherwise.
std::optional<Rounded> RoundExactly(double magnitude, int digits)
{
    const auto bits = std::bit_cast<std::uint64_t>(magnitude);
    const int biased = static_cast<int>(bits >> 52);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t m = biased == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int e = (biased == 0 ? 1 : biased) - 1075;
    if (m == 0) return std::nullopt;
    // floor(log2(value)) gives the decimal exponent to within one:
    // floor(log2 * log10(2)), exact in integers for |log2| < 2620.
    const int log2 = e + 63 - std::countl_zero(m);
    int exponent = (log2 * 78913) >> 18;
    const std::uint64_t lowest = kPowersOfTen[static_cast<std::size_t>(digits - 1)];
    const std::uint64_t beyond = kPowersOfTen[static_cast<std::size_t>(digits)];
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int k = digits - 1 - exponent;
        if (k < 0 || k >= static_cast<int>(kPowersOfFive.size())) return std::nullopt;
        const Uint128 scaled = static_cast<Uint128>(m) * kPowersOfFive[static_cast<std::size_t>(k)];
        const int shift = -(e + k);  // the binary point of scaled
        std::uint64_t q = 0;
        bool up = false;
        if (shift <= 0) {
            if (-shift > 63 || (scaled >> (63 + shift)) != 0) {
                ++exponent;  // at least 2^63: far too many digits
                continue;
            }
            q = static_cast<std::uint64_t>(scaled << -shift);
        } else if (shift >= 128) {
            --exponent;  // below 1: far too few digits
            continue;
        } else {
            const Uint128 whole = scaled >> shift;
            if (whole >= beyond) {
                ++exponent;
                continue;
            }
            q = static_cast<std::uint64_t>(whole);
            const Uint128 rest = scaled - (whole << shift);
            const Uint128 half = static_cast<Uint128>(1) << (shift - 1);
            up = rest > half || (rest == half && (q & 1) != 0);
        }
        if (q >= beyond) {
            ++exponent;
            continue;
        }
        if (q < lowest) {
            --exponent;
            continue;
        }
        if (up) ++q;
        if (q == beyond) {
            q = lowest;
            ++exponent;
        }
        return Rounded{q, exponent};
    }
    return std::nullopt;
}

// The same rounding through the standard library, for the values outside
// RoundExactly's range.
Rounded RoundByLibrary(double magnitude, int digits)
{
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, digits - 1);
    const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t ePos = scientific.find('e');
    Rounded rounded;
    for (const char c : scientific.substr(0, ePos)) {
        if (c >= '0' && c <= '9') rounded.significand = rounded.significand * 10 + static_cast<std::uint64_t>(c - '0');
    }
    std::string_view exponentText = scientific.substr(ePos + 1);
    if (!exponentText.empty() && exponentText[0] == '+') exponentText.remove_prefix(1);
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), rounded.exponent);
    return rounded;
}

// Rounds value to `digits` significant digits and writes it in plain decimal
// form when its decimal exponent lies in [-4, maxFixedExponent), otherwise as
// mantissa, E, sign and at least two exponent digits. Trailing zeros and a
// bare decimal point are dropped. Always '.' as separator. Writes at most
// kMaxNumberChars characters at out and returns the end; allocates nothing.
char* WriteSignificant(char* out, double value, int digits, int maxFixedExponent)
{
    auto put = [&out](std::string_view text) {
        for (const char c : text) *out++ = c;
    };
    if (std::isnan(value)) {
        put("NaN");
        return out;
    }
    if (std::isinf(value)) {
        put(value > 0 ? "Infinity" : "-Infinity");
        return out;
    }
    if (value == 0) {
        put("0");
        return out;
    }

    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    const std::optional<Rounded> exact = RoundExactly(magnitude, digits);
    const Rounded rounded = exact ? *exact : RoundByLibrary(magnitude, digits);
    const int exponent = rounded.exponent;
    char mantissa[32];  // the significant digits without point or sign
    const std::size_t written = static_cast<std::size_t>(
        std::to_chars(mantissa, mantissa + sizeof mantissa, rounded.significand).ptr - mantissa);
    std::size_t count = written;
    while (count > 1 && mantissa[count - 1] == '0') --count;
    const std::string_view significant(mantissa, count);

    if (negative) *out++ = '-';
    if (exponent < -4 || exponent >= maxFixedExponent) {
        *out++ = significant[0];
        if (count > 1) {
            *out++ = '.';
            put(significant.substr(1));
        }
        put(exponent < 0 ? "E-" : "E+");
        const int exponentSize = std::abs(exponent);
        if (exponentSize < 10) *out++ = '0';
        return std::to_chars(out, out + 8, exponentSize).ptr;
    }
    if (exponent < 0) {
        put("0.");
        for (int z = 0; z < -exponent - 1; ++z) *out++ = '0';
        put(significant);
        return out;
    }
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (count <= integerDigits) {
        put(significant);
        for (std::size_t z = count; z < integerDigits; ++z) *out++ = '0';
    } else {
        put(significant.substr(0, integerDigits));
        *out++ = '.';
        put(significant.substr(integerDigits));
    }
    return out;
}

std::string FormatSignificant(double value, int digits, int maxFixedExponent)
{
    char text[kMaxNumberChars];
    return std::string(text, WriteSignificant(text, value, digits, maxFixedExponent));
}

std::string WithSeparator(std::string text, char decimalSeparator)
{
    for (char& c : text) {
        if (c == '.') c = decimalSeparator;
    }
    return text;
}

}  // namespace

std::string FormatSingle(float value) { return FormatSignificant(value, 7, 7); }

std::string FormatDouble(double value) { return FormatSignificant(value, 15, 15); }

char* WriteSingle(char* out, float value) { return WriteSignificant(out, value, 7, 7); }

char* WriteDouble(char* out, double value) { return WriteSignificant(out, value, 15, 15); }

std::string FormatGeneral(double value, char decimalSeparator)
{
    std::string text = WithSeparator(FormatDouble(value), decimalSeparator);
    if (!(value < 0) && !std::isnan(value)) text.insert(text.begin(), ' ');
    return text;
}

std::string FormatFixed2(double value, char decimalSeparator)
{
    if (!std::isfinite(value)) return FormatDouble(value);
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
    std::string text(buffer, result.ptr);
    if (text == "-0.00") text = "0.00";
    return WithSeparator(text, decimalSeparator);
}

std::string FormatPromptDefault(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace halvane
