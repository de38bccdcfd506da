// The operating system's generator through the real draw: uniform over each row's accepted codes,
// at the cost in draws that the row's rejection rate predicts.

#include "tests/quality/draw_rows.h"

#include "generation/password_generator.h"
#include "runtime/system_random_source.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

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
    CountingRandom counted(system);
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

INSTANTIATE_TEST_SUITE_P(DrawTable, SystemSourceTest, ::testing::ValuesIn(DrawRows()),
                         [](const auto& row) { return RowName(row.param); });

} // namespace
} // namespace cipherloom::quality
