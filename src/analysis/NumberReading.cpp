#include "analysis/NumberReading.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace halvane {
namespace {

bool IsIgnored(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

double ReadRadixInteger(std::string_view digits, int radix)
{
    double value = 0;
    for (char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (radix == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (radix == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0 || digit >= radix) break;
        value = value * radix + digit;
    }
    return value;
}

}  // namespace

double ReadTypedNumber(std::string_view text)
{
    std::string s;
    for (char c : text) {
        if (!IsIgnored(c)) s.push_back(c);
    }
    if (s.size() >= 2 && s[0] == '&') {
        const char kind = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
        if (kind == 'H') return ReadRadixInteger(std::string_view(s).substr(2), 16);
        if (kind == 'O') return ReadRadixInteger(std::string_view(s).substr(2), 8);
        return 0;
    }

    // Collect the longest prefix of the form [sign] digits [. digits] [E|D [sign] digits].
    std::string number;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') number.push_back('-');
        ++i;
    }
    bool anyDigit = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        number.push_back(s[i++]);
        anyDigit = true;
    }
    if (i < s.size() && s[i] == '.') {
        number.push_back('.');
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            number.push_back(s[i++]);
            anyDigit = true;
        }
    }
    if (!anyDigit) return 0;
    bool exponentNegative = false;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        std::size_t j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            exponentNegative = s[j] == '-';
            exponent.push_back(s[j++]);
        }
        const std::size_t digitsStart = j;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) exponent.push_back(s[j++]);
        if (j > digitsStart) number += exponent;
    }

    double value = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        const bool negative = number[0] == '-';
        if (exponentNegative) return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    return value;
}

}  // namespace halvane
