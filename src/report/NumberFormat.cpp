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
// bare decimal point are dropped. Always '.' as separator.
std::string FormatSignificant(double value, int digits, int maxFixedExponent)
{
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    if (value == 0) return "0";

    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, digits - 1);
    const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t ePos = scientific.find('e');
    const int exponent = std::atoi(std::string(scientific.substr(ePos + 1)).c_str());
    const bool negative = scientific[0] == '-';
    std::string mantissaDigits;  // the significant digits without point or sign
    for (char c : scientific.substr(0, ePos)) {
        if (c >= '0' && c <= '9') mantissaDigits.push_back(c);
    }
    while (mantissaDigits.size() > 1 && mantissaDigits.back() == '0') mantissaDigits.pop_back();

    std::string text = negative ? "-" : "";
    if (exponent < -4 || exponent >= maxFixedExponent) {
        text += mantissaDigits[0];
        if (mantissaDigits.size() > 1) text += "." + mantissaDigits.substr(1);
        text += exponent < 0 ? "E-" : "E+";
        const int magnitude = std::abs(exponent);
        if (magnitude < 10) text += '0';
        text += std::to_string(magnitude);
        return text;
    }
    if (exponent < 0) {
        text += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + mantissaDigits;
        return text;
    }
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (mantissaDigits.size() <= integerDigits) {
        text += mantissaDigits + std::string(integerDigits - mantissaDigits.size(), '0');
    } else {
        text += mantissaDigits.substr(0, integerDigits) + "." + mantissaDigits.substr(integerDigits);
    }
    return text;
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
