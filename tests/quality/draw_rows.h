#pragma once

#include "generation/Cipherloom_Main.h"
#include "generation/password_generator.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace cipherloom::quality {

// Character sets named the way a user reads the class and case captions, so the accepted set of a
// row is stated independently of the multiplier, base and rejected runs that produce it.
enum CharSet : unsigned
{
    kDigits = 1U << 0U,
    kUpper = 1U << 1U,
    kLower = 1U << 2U,
    kSymbols = 1U << 3U, // printable ASCII other than letters, digits and the space
};

inline constexpr int kFirstPrintable = 33;
inline constexpr int kLastPrintable = 126;

constexpr bool InSets(int code, unsigned sets)
{
    const bool digit = code >= '0' && code <= '9';
    const bool upper = code >= 'A' && code <= 'Z';
    const bool lower = code >= 'a' && code <= 'z';
    const bool printable = code >= kFirstPrintable && code <= kLastPrintable;
    return ((sets & kDigits) != 0 && digit) || ((sets & kUpper) != 0 && upper) ||
           ((sets & kLower) != 0 && lower) ||
           ((sets & kSymbols) != 0 && printable && !digit && !upper && !lower);
}

// One row of the draw table: x = floor(r * multiplier) + base, accepted when x is in the sets.
struct DrawRow
{
    const char* name;
    CharClass charClass;
    CaseOpt caseOpt;
    int multiplier;
    int base;
    unsigned sets;
    int acceptedCount; // as the table counts them, e.g. 36 of 75
    double chiSquareThreshold;

    std::uint8_t Code() const { return MakePositionCode(charClass, caseOpt); }
    bool Accepts(int code) const { return InSets(code, sets); }
};

// Thresholds: upper 1e-7 quantile of chi-square with (accepted - 1) degrees of freedom, so the
// ten rows together fail a correct generator about once in 10^6 runs. chi2_thresholds.py beside
// this file derives them.
inline const std::vector<DrawRow>& DrawRows()
{
    static const std::vector<DrawRow> rows = {
        {"DigitsAreTenOfTen", CharClass::Digits, CaseOpt::All, 10, 48, kDigits, 10, 50.172},
        {"LettersBothCasesAre52Of58", CharClass::Letters, CaseOpt::All, 58, 65, kUpper | kLower, 52,
         121.810},
        {"LettersLowerOnlyAre26Of26", CharClass::Letters, CaseOpt::LowerOnly, 26, 97, kLower, 26,
         80.365},
        {"LettersUpperOnlyAre26Of26", CharClass::Letters, CaseOpt::UpperOnly, 26, 65, kUpper, 26,
         80.365},
        {"AlphanumericBothCasesAre62Of75", CharClass::Alphanumeric, CaseOpt::All, 75, 48,
         kDigits | kUpper | kLower, 62, 136.661},
        {"AlphanumericLowerOnlyAre36Of75", CharClass::Alphanumeric, CaseOpt::LowerOnly, 75, 48,
         kDigits | kLower, 36, 96.952},
        {"AlphanumericUpperOnlyAre36Of43", CharClass::Alphanumeric, CaseOpt::UpperOnly, 43, 48,
         kDigits | kUpper, 36, 96.952},
        {"SymbolsBothCasesAre94Of94", CharClass::AlphanumericSymbols, CaseOpt::All, 94, 33,
         kDigits | kUpper | kLower | kSymbols, 94, 181.999},
        {"SymbolsLowerOnlyAre68Of94", CharClass::AlphanumericSymbols, CaseOpt::LowerOnly, 94, 33,
         kDigits | kLower | kSymbols, 68, 145.385},
        {"SymbolsUpperOnlyAre68Of94", CharClass::AlphanumericSymbols, CaseOpt::UpperOnly, 94, 33,
         kDigits | kUpper | kSymbols, 68, 145.385},
    };
    return rows;
}

inline std::string RowName(const DrawRow& row)
{
    return row.name;
}

// GoogleTest prints parameters in failure messages; the row's name says all there is.
inline void PrintTo(const DrawRow& row, std::ostream* out)
{
    *out << row.name;
}

} // namespace cipherloom::quality
