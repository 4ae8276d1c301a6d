#pragma once

#include <string>

namespace halvane {

// Number formatting for the tables and for the texts shown on screen. Every
// function is locale-proof: the decimal separator is the one passed in (the
// tables always use '.'), never the C locale's.

// A single-precision sum for the intensity table: at most 7 significant
// digits, trailing zeros dropped, no decimal point for a whole value, a 0
// before the point for magnitudes below 1, exponent form (1.234567E-05,
// 1.5E+07) below 1E-04 and from 1E+07 on (after rounding: 0.0001 stays
// plain, 0.00001 is 1E-05). Non-finite values are written NaN, Infinity and
// -Infinity.
std::string FormatSingle(float value);

// A double for the reference table: as FormatSingle with at most 15
// significant digits, exponent form below 1E-04 and from 1E+15 on.
std::string FormatDouble(double value);

// The same forms written at out without allocating: at most kMaxNumberChars
// characters, the end returned. For the tables' rows.
inline constexpr int kMaxNumberChars = 40;
char* WriteSingle(char* out, float value);
char* WriteDouble(char* out, double value);

// The general number form used when printing a number on a picture: a blank
// in place of the sign for a non-negative value, then the shortest decimal
// form with at most 15 significant digits, no grouping, no trailing zeros,
// decimalSeparator for fractional values (" 0", " 2.5", "-7.5").
std::string FormatGeneral(double value, char decimalSeparator);

// The "###0.00" pattern: at least one integer digit, exactly two decimals
// (rounded), a leading minus for a negative value that does not round to
// zero, no grouping, decimalSeparator between (45.00, -12.50).
std::string FormatFixed2(double value, char decimalSeparator);

// A parameter's current value as a prompt's default answer: the shortest form
// that reads back as the same double, '.' as separator, no decimal point for a
// whole value (1000, 12.5).
std::string FormatPromptDefault(double value);

}  // namespace halvane
