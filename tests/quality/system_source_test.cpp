// The operating system's generator through the real draw: uniform over each row's accepted codes,
// at the cost in draws that the row's rejection rate predicts; and its bits free of the linear
// structure every seeded generator of the usual kinds has.

#include "tests/quality/draw_rows.h"

#include "generation/password_generator.h"
#include "runtime/system_random_source.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace cipherloom::quality {
namespace {

constexpr int kCharacters = 1'000'000;
constexpr int kCodeCount = 128;
constexpr double kDrawCostTolerance = 0.01;

class SystemSourceTest : public ::testing::TestWithParam<DrawRow>
{};

TEST_P(SystemSourceTest, MillionCharactersAreUniformAndCostMOverAcceptedDrawsEach)
{
    const DrawRow& row = GetParam();
    SystemRandomSource system;
    testing::ScriptedRandom counted({}, system); // every value from the system, counted
    counted.Reseed();

    std::array<std::int64_t, kCodeCount> seen{};
    int outside = 0;
    for (int i = 0; i < kCharacters; ++i) {
        const auto c = DrawCharacter(row.Code(), counted);
        const int code = c ? static_cast<unsigned char>(*c) : -1;
        if (code < 0 || code >= kCodeCount || !row.Accepts(code)) {
            ++outside;
            continue;
        }
        ++seen[static_cast<std::size_t>(code)];
    }
    ASSERT_EQ(outside, 0) << "characters outside the row's set";

    const double expected = static_cast<double>(kCharacters) / row.acceptedCount;
    double chiSquare = 0.0;
    for (int code = 0; code < kCodeCount; ++code) {
        if (row.Accepts(code)) {
            const double d = static_cast<double>(seen[static_cast<std::size_t>(code)]) - expected;
            chiSquare += d * d / expected;
        }
    }
    EXPECT_LT(chiSquare, row.chiSquareThreshold)
        << "df " << row.acceptedCount - 1 << "; a correct generator exceeds this once in 10^7";

    const double drawsPerCharacter = static_cast<double>(counted.nextCalls) / kCharacters;
    const double predicted = static_cast<double>(row.multiplier) / row.acceptedCount;
    EXPECT_NEAR(drawsPerCharacter, predicted, predicted * kDrawCostTolerance);

    RecordProperty("chi_square", std::to_string(chiSquare));
    RecordProperty("draws_per_character", std::to_string(drawsPerCharacter));
    std::printf("[ figures  ] %s chi2 %.2f (df %d, limit %.3f) draws/char %.4f (M/accepted %.4f)\n",
                row.name, chiSquare, row.acceptedCount - 1, row.chiSquareThreshold,
                drawsPerCharacter, predicted);
}

// The draw redraws values outside [0, 1) silently, so a source that produced them would only show
// up as a higher draw count; check the values themselves too.
TEST(SystemSourceValues, AreInTheUnitIntervalOnTheGridOfTwoToTheMinus24)
{
    constexpr int kValues = 1'000'000;
    constexpr double kGrid = 16'777'216.0; // 2^24
    SystemRandomSource system;
    int bad = 0;
    double sum = 0.0;
    for (int i = 0; i < kValues; ++i) {
        const float r = system.Next();
        const double scaled = static_cast<double>(r) * kGrid;
        if (!(r >= 0.0F && r < 1.0F) || scaled != std::floor(scaled)) {
            ++bad;
        }
        sum += r;
    }
    EXPECT_EQ(bad, 0);
    // Mean of 10^6 uniform values: standard deviation 0.00029; 0.003 is over ten of them.
    EXPECT_NEAR(sum / kValues, 0.5, 0.003);
}

using Word = std::uint64_t;
constexpr std::size_t kWordBits = 64;

// The 64 bits of a bit array from bit position pos on; the array is padded with zero words.
Word BitsFrom(const std::vector<Word>& bits, std::size_t pos)
{
    const std::size_t word = pos / kWordBits;
    const std::size_t shift = pos % kWordBits;
    const Word low = bits[word] >> shift;
    return shift == 0 ? low : low | (bits[word + 1] << (kWordBits - shift));
}

// to ^= from * x^shift, over the words both hold.
void XorShifted(std::vector<Word>& to, const std::vector<Word>& from, std::size_t shift)
{
    const std::size_t words = shift / kWordBits;
    const std::size_t bits = shift % kWordBits;
    for (std::size_t i = 0; i + words < to.size(); ++i) {
        to[i + words] ^= from[i] << bits;
        if (bits != 0 && i + words + 1 < to.size()) {
            to[i + words + 1] ^= from[i] >> (kWordBits - bits);
        }
    }
}

// Berlekamp-Massey over GF(2), 64 taps at a time: the length of the shortest linear feedback
// shift register that produces the sequence. The sequence is stored reversed so that the
// register's taps C[1..L] meet s[n-1..n-L] in the same bit order.
std::size_t LinearComplexity(const std::vector<bool>& sequence)
{
    const std::size_t n = sequence.size();
    const std::size_t words = n / kWordBits + 3;
    std::vector<Word> reversed(words);
    for (std::size_t i = 0; i < n; ++i) {
        if (sequence[i]) {
            const std::size_t j = n - 1 - i;
            reversed[j / kWordBits] |= Word{1} << (j % kWordBits);
        }
    }
    std::vector<Word> current(words);  // C(x), degree at most length
    std::vector<Word> previous(words); // B(x), C before the last change of length
    std::vector<Word> saved;
    current[0] = previous[0] = 1;
    std::size_t length = 0;
    std::size_t sinceChange = 1;
    for (std::size_t k = 0; k < n; ++k) {
        Word discrepancy = 0;
        for (std::size_t w = 0; w <= length / kWordBits; ++w) {
            discrepancy ^= current[w] & BitsFrom(reversed, n - 1 - k + w * kWordBits);
        }
        if (std::popcount(discrepancy) % 2 == 0) {
            ++sinceChange;
        } else if (2 * length <= k) {
            saved = current;
            XorShifted(current, previous, sinceChange);
            length = k + 1 - length;
            previous.swap(saved);
            sinceChange = 1;
        } else {
            XorShifted(current, previous, sinceChange);
            ++sinceChange;
        }
    }
    return length;
}

// The lowest bit of each of count 24-bit values.
template <typename Draw>
std::vector<bool> LowestBits(std::size_t count, Draw draw)
{
    std::vector<bool> bits(count);
    for (std::size_t i = 0; i < count; ++i) {
        bits[i] = (draw() & 1U) != 0;
    }
    return bits;
}

// Every output bit of a Mersenne Twister (std::mt19937, Qt's seeded QRandomGenerator) obeys a
// linear recurrence of degree 19 937, and smaller generators (LCGs, xorshift) have shorter ones.
// A random sequence of n bits has linear complexity n/2 + 2/9 on average with a variance near 1;
// it strays kComplexityTolerance from n/2 with probability about 2^-(2 * kComplexityTolerance).
TEST(SystemSourceBits, LowestBitHasTheLinearComplexityOfARandomSequence)
{
    constexpr std::size_t kValues = 45'000; // over twice 19 937, so MT19937 shows its degree
    constexpr std::size_t kMersenneTwisterDegree = 19'937;
    constexpr std::size_t kComplexityTolerance = 100;
    constexpr std::uint32_t kControlSeed = 2026;
    constexpr unsigned kDiscardedBits = 8;      // of a 32-bit word, as the source drops them
    constexpr float kGridScale = 16'777'216.0F; // 2^24

    // The measure itself must tell a seeded generator apart, or the check below proves nothing.
    std::mt19937 twister(kControlSeed);
    const std::size_t control =
        LinearComplexity(LowestBits(kValues, [&twister] { return twister() >> kDiscardedBits; }));
    ASSERT_EQ(control, kMersenneTwisterDegree);

    SystemRandomSource system;
    const std::size_t complexity = LinearComplexity(LowestBits(
        kValues, [&system] { return static_cast<std::uint32_t>(system.Next() * kGridScale); }));
    EXPECT_GE(complexity, kValues / 2 - kComplexityTolerance);
    EXPECT_LE(complexity, kValues / 2 + kComplexityTolerance);
    RecordProperty("linear_complexity", std::to_string(complexity));
    std::printf("[ figures  ] linear complexity of %zu lowest bits: %zu (MT19937 control %zu)\n",
                kValues, complexity, control);
}

INSTANTIATE_TEST_SUITE_P(DrawTable, SystemSourceTest, ::testing::ValuesIn(DrawRows()), RowName);

} // namespace
} // namespace cipherloom::quality
