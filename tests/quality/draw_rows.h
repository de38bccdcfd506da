#pragma once

// The draw table, shared by the generator's unit tests and the quality tests.

#include "generation/Cipherloom_Main.h"
#include "generation/password_generator.h"

#include <gtest/gtest.h>

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
    std::uint32_t
        roundingTrapK;     // r = k / 2^24 whose product rounds up to the next integer in float
    char roundingTrapChar; // what the double product gives

    std::uint8_t Code() const { return MakePositionCode(charClass, caseOpt); }
    bool Accepts(int code) const { return InSets(code, sets); }
    // GoogleTest prints parameters in failure messages; the row's name says all there is.
    friend void PrintTo(const DrawRow& row, std::ostream* out) { *out << row.name; }
};

// Thresholds: upper 1e-7 quantile of chi-square with (accepted - 1) degrees of freedom, so the
// ten rows together fail a correct generator about once in 10^6 runs. chi2_thresholds.py beside
// this file derives them.
inline const std::vector<DrawRow>& DrawRows()
{
    using enum CharClass;
    using enum CaseOpt;
    static const std::vector<DrawRow> rows = {
        {"DigitsAreTenOfTen", Digits, All, 10, 48, kDigits, 10, 50.172, 11744051, '6'},
        {"LettersBothCasesAre52Of58", Letters, All, 58, 65, kUpper | kLower, 52, 121.810, 867787,
         'C'},
        {"LettersLowerOnlyAre26Of26", Letters, LowerOnly, 26, 97, kLower, 26, 80.365, 9679163, 'o'},
        {"LettersUpperOnlyAre26Of26", Letters, UpperOnly, 26, 65, kUpper, 26, 80.365, 9679163, 'O'},
        {"AlphanumericBothCasesAre62Of75", Alphanumeric, All, 75, 48, kDigits | kUpper | kLower, 62,
         136.661, 11632203, 'c'},
        {"AlphanumericLowerOnlyAre36Of75", Alphanumeric, LowerOnly, 75, 48, kDigits | kLower, 36,
         96.952, 11632203, 'c'},
        {"AlphanumericUpperOnlyAre36Of43", Alphanumeric, UpperOnly, 43, 48, kDigits | kUpper, 36,
         96.952, 1950839, '4'},
        {"SymbolsBothCasesAre94Of94", AlphanumericSymbols, All, 94, 33,
         kDigits | kUpper | kLower | kSymbols, 94, 181.999, 10530380, '['},
        {"SymbolsLowerOnlyAre68Of94", AlphanumericSymbols, LowerOnly, 94, 33,
         kDigits | kLower | kSymbols, 68, 145.385, 10530380, '['},
        {"SymbolsUpperOnlyAre68Of94", AlphanumericSymbols, UpperOnly, 94, 33,
         kDigits | kUpper | kSymbols, 68, 145.385, 10530380, '['},
    };
    return rows;
}

inline std::string RowName(const ::testing::TestParamInfo<DrawRow>& info)
{
    return info.param.name;
}

} // namespace cipherloom::quality
