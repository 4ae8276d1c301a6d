#pragma once

#include <string_view>

namespace halvane {

// Reads a number the user typed into a prompt, the same way whatever the
// locale: blanks, tabs, carriage returns and line feeds anywhere are ignored;
// "." is the only decimal separator; an optional sign; an exponent introduced
// by E or D (either case); &H and &O introduce hexadecimal and octal integers
// (read as unsigned values: &HFFFF is 65535). Reading stops at the first
// character that cannot continue the number, so "12.5 ms" is 12.5, "1 000" is
// 1000 and "1,5" is 1. An empty or non-numeric answer gives 0. A decimal
// exponent beyond the double range gives +-infinity (or 0 below it).
double ReadTypedNumber(std::string_view text);

}  // namespace halvane
