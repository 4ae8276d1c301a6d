#include "report/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace halvane {
namespace {

// Rounds value to `digits` significant digits and writes it in plain decimal
// form when its decimal exponent lies in [-4, maxFixedExponent), otherwise as
// mantissa, E, sign and at least two exponent digits. Trailing zeros and a
// bare decimal point are dropped. Always '.' as separator. Writes at most
// kMaxSignificantChars characters at out and returns the end; allocates nothing.
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

    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, digits - 1);
    const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t ePos = scientific.find('e');
    int exponent = 0;
    std::string_view exponentText = scientific.substr(ePos + 1);
    if (!exponentText.empty() && exponentText[0] == '+') exponentText.remove_prefix(1);
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    const bool negative = scientific[0] == '-';
    char mantissa[32];  // the significant digits without point or sign
    std::size_t count = 0;
    for (const char c : scientific.substr(0, ePos)) {
        if (c >= '0' && c <= '9') mantissa[count++] = c;
    }
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
        const int magnitude = std::abs(exponent);
        if (magnitude < 10) *out++ = '0';
        return std::to_chars(out, out + 8, magnitude).ptr;
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
