#pragma once

// A comma-decimal locale for the length of a test, for checking that number
// text does not follow the locale.
#include <clocale>
#include <locale>
#include <string>

namespace halvane::test {

// Runs the body under a comma-decimal locale (C and C++), then restores both.
class CommaLocale {
public:
    CommaLocale()
    {
        struct Comma : std::numpunct<char> {
            char do_decimal_point() const override { return ','; }
            char do_thousands_sep() const override { return '.'; }
            std::string do_grouping() const override { return "\3"; }
        };
        m_previous = std::locale::global(std::locale(std::locale::classic(), new Comma));
        for (const char* name : {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8", "C.UTF-8"}) {
            if (std::setlocale(LC_ALL, name) != nullptr) break;
        }
    }
    ~CommaLocale()
    {
        std::locale::global(m_previous);
        std::setlocale(LC_ALL, "C");
    }

private:
    std::locale m_previous;
};

}  // namespace halvane::test
