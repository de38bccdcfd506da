// Every single-precision value k / 2^24 in [0, 1) through one draw step of every row.

#include "tests/quality/draw_rows.h"

#include "generation/password_generator.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <sstream>

namespace cipherloom::quality {
namespace {

constexpr int kResolutionBits = 24;
constexpr std::uint32_t kValues = std::uint32_t{1} << kResolutionBits;
constexpr float kStep = 1.0F / static_cast<float>(kValues);
constexpr int kCodeCount = 128;
constexpr int kReportedMismatches = 5;

class ExhaustiveDrawTest : public ::testing::TestWithParam<DrawRow>
{};

TEST_P(ExhaustiveDrawTest, EveryValueGivesItsBucketsCodeOrIsRedrawnAndBucketsAreEvenToOneValue)
{
    const DrawRow& row = GetParam();
    ASSERT_TRUE(row.Accepts(row.base)) << "the redraw value 0 must land on an accepted code";

    std::array<std::uint32_t, kCodeCount> accepted{};
    std::uint32_t rejected = 0;
    std::uint32_t mismatches = 0;
    std::ostringstream firstMismatches;
    // The value under test first; a redraw gets 0, the row's base, accepted in every row.
    testing::FixedRandom zero(0.0F);
    testing::ScriptedRandom source({}, zero);

    for (std::uint32_t k = 0; k < kValues; ++k) {
        source.Reload({static_cast<float>(k) * kStep});
        const auto drawn = DrawCharacter(row.Code(), source);
        // floor(k / 2^24 * M) in exact integer arithmetic.
        const int x =
            static_cast<int>((std::uint64_t{k} * static_cast<std::uint64_t>(row.multiplier)) >>
                             kResolutionBits) +
            row.base;
        const bool ok = row.Accepts(x)
                            ? (source.nextCalls == 1 && drawn == static_cast<char>(x))
                            : (source.nextCalls == 2 && drawn == static_cast<char>(row.base));
        if (!ok) {
            if (mismatches++ < kReportedMismatches) {
                firstMismatches << " k=" << k << " x=" << x << " calls=" << source.nextCalls
                                << " drawn=" << (drawn ? static_cast<int>(*drawn) : -1);
            }
            continue;
        }
        if (row.Accepts(x)) {
            ++accepted[static_cast<std::size_t>(x)];
        } else {
            ++rejected;
        }
    }
    ASSERT_EQ(mismatches, 0U) << firstMismatches.str();

    std::uint32_t fewest = kValues;
    std::uint32_t most = 0;
    int acceptedCodes = 0;
    for (int code = 0; code < kCodeCount; ++code) {
        if (!row.Accepts(code)) {
            EXPECT_EQ(accepted[static_cast<std::size_t>(code)], 0U) << "code " << code;
            continue;
        }
        ++acceptedCodes;
        const std::uint32_t n = accepted[static_cast<std::size_t>(code)];
        EXPECT_GT(n, 0U) << "accepted code " << code << " never drawn";
        fewest = std::min(fewest, n);
        most = std::max(most, n);
    }
    EXPECT_EQ(acceptedCodes, row.acceptedCount);
    EXPECT_LE(most - fewest, 1U) << "fewest " << fewest << ", most " << most;

    // Each of the M buckets holds floor or ceil of 2^24 / M values, so the rejected share is
    // (M - accepted) / M to within one value per rejected bucket.
    const int rejectedCodes = row.multiplier - row.acceptedCount;
    const double expectedRejected =
        static_cast<double>(kValues) * rejectedCodes / static_cast<double>(row.multiplier);
    EXPECT_NEAR(static_cast<double>(rejected), expectedRejected, rejectedCodes);
    RecordProperty("rejected_values", static_cast<int>(rejected));
}

INSTANTIATE_TEST_SUITE_P(DrawTable, ExhaustiveDrawTest, ::testing::ValuesIn(DrawRows()),
                         [](const auto& row) { return RowName(row.param); });

} // namespace
} // namespace cipherloom::quality
