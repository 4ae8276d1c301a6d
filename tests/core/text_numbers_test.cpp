#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <locale>
#include <random>
#include <string>
#include <vector>

#include "analysis/NumberReading.h"
#include "report/NumberFormat.h"
#include "report/TablePaths.h"
#include "support/CommaLocale.h"

namespace halvane {
namespace {

using test::CommaLocale;

TEST(NumberFormat, SinglePrecisionSumsWithSevenDigits)
{
    CommaLocale comma;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<float, const char*> rows[] = {
        {120.0f, "120"},
        {60.0f, "60"},
        {0.0f, "0"},
        {-0.0f, "0"},
        {-12.345678f, "-12.34568"},
        {0.5f, "0.5"},
        {1234567.0f, "1234567"},
        {12345678.0f, "1.234568E+07"},
        {1.234567e-5f, "1.234567E-05"},
        {0.0001f, "0.0001"},
        {88.180038f, "88.18004"},
        {3.4e38f, "3.4E+38"},
        {nan, "NaN"},
        {inf, "Infinity"},
        {-inf, "-Infinity"},
    };
    for (const auto& [value, text] : rows) EXPECT_EQ(FormatSingle(value), text) << value;
}

TEST(NumberFormat, DoublesWithFifteenDigits)
{
    CommaLocale comma;
    EXPECT_EQ(FormatDouble(-3.0102999566398121), "-3.01029995663981");
    EXPECT_EQ(FormatDouble(17.781512503836436), "17.7815125038364");
    EXPECT_EQ(FormatDouble(20), "20");
    EXPECT_EQ(FormatDouble(180), "180");
    EXPECT_EQ(FormatDouble(0.25), "0.25");
    EXPECT_EQ(FormatDouble(1e15), "1E+15");
    EXPECT_EQ(FormatDouble(123456789012345.0), "123456789012345");
    EXPECT_EQ(FormatDouble(-1.5e-7), "-1.5E-07");
}

// A number's text reduced to its sign, significant digits and the decimal
// exponent of the first one, whatever the form ("0.00125", "1.25E-03" and
// "1.250000e-03" are all {false, "125", -3}).
struct Normalized {
    bool negative = false;
    std::string digits;
    int exponent = 0;
    bool operator==(const Normalized&) const = default;
};

Normalized Normalize(std::string text)
{
    Normalized n;
    if (!text.empty() && text[0] == '-') {
        n.negative = true;
        text.erase(0, 1);
    }
    int exponent = 0;
    if (const auto e = text.find_first_of("Ee"); e != std::string::npos) {
        exponent = std::stoi(text.substr(e + 1));
        text.resize(e);
    }
    const auto point = text.find('.');
    const int integerDigits = static_cast<int>(point == std::string::npos ? text.size() : point);
    if (point != std::string::npos) text.erase(point, 1);
    const auto first = text.find_first_not_of('0');
    if (first == std::string::npos) return {n.negative, "0", 0};
    n.digits = text.substr(first, text.find_last_not_of('0') + 1 - first);
    n.exponent = exponent + integerDigits - 1 - static_cast<int>(first);
    return n;
}

Normalized ByTheCLibrary(double value, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*e", digits - 1, value);
    return Normalize(text);
}

// Rounding is exact and half to even on the binary value, as the C library
// rounds: random bit patterns over every magnitude, the halfway integers,
// and the neighbours of every power of ten, where the exponent changes.
TEST(NumberFormat, EveryMagnitudeRoundsAsTheCLibraryDoes)
{
    std::mt19937_64 random(20261208);
    std::vector<float> singles = {12345675.0f, 12345665.0f, 9999999.5f, 0.99999994f, 1.5e-45f, 3.4028235e38f};
    std::vector<double> doubles = {1234567890123455.0, 1234567890123465.0, 999999999999999.5, 5e-324,
                                   1.7976931348623157e308};
    for (int i = 0; i < 300000; ++i) {
        const float single = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
        if (std::isfinite(single)) singles.push_back(single);
        const double any = std::bit_cast<double>(random());
        if (std::isfinite(any)) doubles.push_back(any);
        // The magnitudes of real tables, far more densely.
        doubles.push_back(std::ldexp(static_cast<double>(random() >> 11), -53 - static_cast<int>(random() % 120) + 60));
        singles.push_back(static_cast<float>(doubles.back()));
    }
    for (int p = -40; p <= 38; ++p) {
        const float power = static_cast<float>(std::pow(10.0, p));
        singles.insert(singles.end(), {power, std::nextafter(power, 0.0f),
                                       std::nextafter(power, std::numeric_limits<float>::infinity())});
    }
    for (int p = -300; p <= 300; ++p) {
        const double power = std::pow(10.0, p);
        doubles.insert(doubles.end(), {power, std::nextafter(power, 0.0), std::nextafter(power, 1e308)});
    }
    int mismatches = 0;
    for (const float value : singles) {
        if (value == 0) continue;
        if (Normalize(FormatSingle(value)) != ByTheCLibrary(value, 7) && ++mismatches < 10) {
            ADD_FAILURE() << std::hexfloat << value << ": " << FormatSingle(value);
        }
    }
    for (const double value : doubles) {
        if (value == 0) continue;
        if (Normalize(FormatDouble(value)) != ByTheCLibrary(value, 15) && ++mismatches < 10) {
            ADD_FAILURE() << std::hexfloat << value << ": " << FormatDouble(value);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(NumberFormat, ScreenFormsUseTheGivenSeparator)
{
    CommaLocale comma;
    EXPECT_EQ(FormatGeneral(0, ','), " 0");
    EXPECT_EQ(FormatGeneral(2.5, ','), " 2,5");
    EXPECT_EQ(FormatGeneral(7.5, '.'), " 7.5");
    EXPECT_EQ(FormatGeneral(1020, ','), " 1020");
    EXPECT_EQ(FormatGeneral(-250, ','), "-250");
    EXPECT_EQ(FormatFixed2(45, '.'), "45.00");
    EXPECT_EQ(FormatFixed2(-12.5, ','), "-12,50");
    EXPECT_EQ(FormatFixed2(90.0000000000003, '.'), "90.00");
    EXPECT_EQ(FormatFixed2(-0.001, '.'), "0.00");
    EXPECT_EQ(FormatFixed2(1234.567, '.'), "1234.57");
    EXPECT_EQ(FormatPromptDefault(1000), "1000");
    EXPECT_EQ(FormatPromptDefault(12.5), "12.5");
    EXPECT_EQ(FormatPromptDefault(0), "0");
}

TEST(NumberReading, AnswersAreReadTheSameInEveryLocale)
{
    CommaLocale comma;
    const std::pair<const char*, double> rows[] = {
        {"12.5 ms", 12.5}, {"1 000", 1000}, {"1,5", 1},     {"letters", 0}, {"", 0},          {"  -20 ", -20},
        {"+7", 7},         {".5", 0.5},     {"1e3", 1000},  {"2D2", 200},   {"1E-2", 0.01},   {"3e", 3},
        {"3e+", 3},        {"1.2.3", 1.2},  {"\t4\n2", 42}, {"&HFF", 255},  {"&hff", 255},    {"&HFFFF", 65535},
        {"&O17", 15},      {"&H", 0},       {"&Q1", 0},     {"-", 0},       {"1e308", 1e308},
    };
    for (const auto& [text, value] : rows) EXPECT_EQ(ReadTypedNumber(text), value) << '"' << text << '"';
    EXPECT_TRUE(std::isinf(ReadTypedNumber("1e999")));
    EXPECT_EQ(ReadTypedNumber("1e-999"), 0);
}

TEST(TablePaths, CharactersAreCountedNotDots)
{
    EXPECT_EQ(IntensityTableName("Hall.WAV"), "Hall.csv");
    EXPECT_EQ(IntensityTableName("hall.wave"), "hall.wcsv");
    EXPECT_EQ(IntensityTableName("hall"), "hcsv");
    EXPECT_EQ(IntensityTableName("ab"), "csv");
    EXPECT_EQ(ReferenceTableName("C:\\ir\\hall.wav"), "C:\\ir\\hall_ref.csv");
    EXPECT_EQ(ReferenceTableName("/x/a.wav"), "/x/a_ref.csv");
    EXPECT_EQ(IntensityTableName("/x/a.wav"), "/x/a.csv");
    // A name ending in a two-byte character is cut by whole characters.
    EXPECT_EQ(IntensityTableName("raum.wä"), "raumcsv");
}

}  // namespace
}  // namespace halvane
