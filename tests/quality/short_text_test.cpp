// Every text of up to two UTF-16 units over an alphabet that holds what a keyboard or an input
// method can put into a two-character field (and a few things it should not), through the numeric
// rules, the Generate command and the range check. Each outcome is compared with the forms the
// numeric rules document, worked out here from the folded text rather than by the parser.

#include "generation/generate_command.h"
#include "generation/numeric_entry.h"
#include "generation/password_generator.h"
#include "generation/range_check.h"
#include "tests/quality/draw_rows.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace cipherloom::quality {
namespace {

constexpr char16_t kAsciiLast = 0x7F;
constexpr char16_t kFullWidthFirst = 0xFF01; // "！"
constexpr char16_t kFullWidthLast = 0xFF5E;  // "～"
constexpr char16_t kFullWidthOffset = 0xFEE0;
constexpr char16_t kIdeographicSpace = 0x3000;
constexpr char16_t kArabicIndicZero = 0x0660;
constexpr char16_t kDevanagariZero = 0x0966;
constexpr char16_t kHighSurrogate = 0xD800;
constexpr char16_t kLowSurrogate = 0xDC00;
constexpr int kOtherDigits = 10;
constexpr int kReportedFailures = 5;

// What an input method's full-width digits, signs, point and space stand for.
char16_t Folded(char16_t c)
{
    if (c == kIdeographicSpace) {
        return u' ';
    }
    if ((c >= u'０' && c <= u'９') || c == u'＋' || c == u'－' || c == u'．') {
        return static_cast<char16_t>(c - kFullWidthOffset);
    }
    return c;
}

// The documented two-character forms, once folded: d, dd, +d, -d, .d, d. and a digit with one
// space before or after it. The C library reads the value, rounded half to even (.5 gives 0).
std::optional<int> Read(const std::u16string& text)
{
    static const std::regex kForms(R"(\d|\d\d|[+-]\d|\.\d|\d\.| \d|\d )");
    std::string ascii;
    for (const char16_t c : text) {
        if (Folded(c) > kAsciiLast) {
            return std::nullopt;
        }
        ascii.push_back(static_cast<char>(Folded(c)));
    }
    if (!std::regex_match(ascii, kForms)) {
        return std::nullopt;
    }
    return static_cast<int>(std::lrint(std::stod(ascii)));
}

struct Text
{
    std::u16string text;
    std::optional<int> value; // nothing: empty or not a number
};

Text WithReading(std::u16string text)
{
    const std::optional<int> value = Read(text);
    return {std::move(text), value};
}

std::vector<Text> TextsUpTo(int units)
{
    std::vector<char16_t> alphabet;
    for (char16_t c = 0; c <= kAsciiLast; ++c) {
        alphabet.push_back(c);
    }
    for (char16_t c = kFullWidthFirst; c <= kFullWidthLast; ++c) {
        alphabet.push_back(c);
    }
    alphabet.push_back(kIdeographicSpace);
    for (char16_t i = 0; i < kOtherDigits; ++i) {
        alphabet.push_back(static_cast<char16_t>(kArabicIndicZero + i));
        alphabet.push_back(static_cast<char16_t>(kDevanagariZero + i));
    }
    alphabet.push_back(kHighSurrogate);
    alphabet.push_back(kLowSurrogate);

    std::vector<Text> texts{WithReading(u"")};
    for (const char16_t a : alphabet) {
        texts.push_back(WithReading({a}));
    }
    for (const char16_t a : units >= 2 ? alphabet : std::vector<char16_t>{}) {
        for (const char16_t b : alphabet) {
            texts.push_back(WithReading({a, b}));
        }
    }
    return texts;
}

std::string Describe(const std::u16string& text)
{
    std::ostringstream out;
    out << '[';
    for (const char16_t c : text) {
        out << " U+" << std::hex << std::uppercase << static_cast<unsigned>(c);
    }
    out << " ]";
    return out.str();
}

// Counts the runs of a sweep and keeps its first few failures: a sweep of tens of thousands of
// texts must not print tens of thousands of lines when one rule is broken.
class Sweep final
{
public:
    void Check(const std::u16string& text, const std::string& problem)
    {
        ++m_runs;
        if (!problem.empty() && m_failures++ < kReportedFailures) {
            m_first << "\n  " << Describe(text) << ": " << problem;
        }
    }

    // No failures; the run count goes to the XML report and the figures docs/quality.md quotes.
    void Expect(const char* property, const char* figures) const
    {
        EXPECT_EQ(m_failures, 0) << m_first.str();
        ::testing::Test::RecordProperty(property, static_cast<int>(m_runs));
        std::printf("[ figures  ] %s: %zu %s\n", figures, m_runs, property);
    }

private:
    std::size_t m_runs = 0;
    int m_failures = 0;
    std::ostringstream m_first;
};

// The first of the checks that fails, or nothing.
std::string FirstProblem(std::initializer_list<std::pair<bool, std::string>> checks)
{
    for (const auto& [failed, problem] : checks) {
        if (failed) {
            return problem;
        }
    }
    return {};
}

std::string NumericProblem(const Text& t)
{
    try {
        const bool empty = IsEmpty(t.text);
        const bool numeric = IsNumeric(t.text);
        const int value = NumericValue(t.text); // harmless even where callers would not ask
        return FirstProblem({
            {empty != t.text.empty(), "IsEmpty " + std::to_string(empty)},
            {numeric != t.value.has_value(), "IsNumeric " + std::to_string(numeric)},
            {numeric && value != t.value, "value " + std::to_string(value) + ", documented " +
                                              std::to_string(t.value.value_or(0))},
        });
    } catch (...) {
        return "threw";
    }
}

TEST(EveryShortText, NumericRulesReadExactlyTheDocumentedFormsWithTheirValuesAndRefuseTheRest)
{
    Sweep sweep;
    for (const Text& t : TextsUpTo(2)) {
        sweep.Check(t.text, NumericProblem(t));
    }
    sweep.Expect("texts", "numeric rules");
}

struct SettingsRow
{
    const char* name;
    GenerationSettings settings;
    unsigned sets; // where every character of a password must come from
};

const std::string kPrevious = "previous password";

std::string GenerateProblem(const SettingsRow& row, const Text& t)
{
    testing::RecordingView view(t.text);
    view.label = kPrevious;
    testing::SweepingRandom random; // never runs out; the randomness is tested apart
    testing::RecordingRuntime services(random);
    services.clipboard = kPrevious;
    const GenerationSettings settings = row.settings;
    try {
        RunGenerate(view, settings, services);
    } catch (...) {
        return "threw";
    }
    const int want = t.value.value_or(0);
    const std::u16string_view message = t.text.empty() ? kLengthMissingMessage
                                        : !t.value     ? kLengthNotNumberMessage
                                        : want < kMinLength || want > kMaxLength
                                            ? kLengthOutOfRangeMessage
                                            : std::u16string_view{};
    const bool refused = !message.empty();
    const bool outside = std::any_of(view.label.begin(), view.label.end(),
                                     [&](char c) { return !InSets(c, row.sets); });
    return FirstProblem({
        {view.text != t.text, "field text changed"},
        {view.readOnly, "field left read-only"},
        {view.readWhileEditable, "field read while editable"},
        {services.ends != 0, "ended the program"},
        {!(settings == row.settings), "settings changed"},
        {refused && services.messages != std::vector<std::u16string>{std::u16string(message)},
         "not exactly the one documented message"},
        {refused &&
             (view.label != kPrevious || services.clipboard != kPrevious || random.nextCalls != 0),
         "a refusal changed the label, the clipboard or drew"},
        {!refused && !services.messages.empty(), "a message with a good length"},
        {!refused && view.label.size() != static_cast<std::size_t>(want),
         "password of " + std::to_string(view.label.size()) + " characters for " +
             std::to_string(want)},
        {!refused && outside, "password outside its classes: " + view.label},
        {!refused && services.clipboard != view.label,
         "clipboard does not hold the shown password"},
    });
}

TEST(EveryShortText, GenerateShowsOneDocumentedMessageAndChangesNothingOrMakesThatManyCharacters)
{
    const SettingsRow rows[] = {
        {"the defaults", GenerationSettings{}, kDigits},
        {"symbols with a digit range 3..5",
         GenerationSettings{CharClass::AlphanumericSymbols, CaseOpt::All, PositionMode::Range,
                            CharClass::Digits, CaseOpt::All, 3, 5},
         kDigits | kUpper | kLower | kSymbols},
    };
    const std::vector<Text> texts = TextsUpTo(2);
    Sweep sweep;
    for (const SettingsRow& row : rows) {
        for (const Text& t : texts) {
            const std::string problem = GenerateProblem(row, t);
            sweep.Check(t.text, problem.empty() ? problem : problem + " (" + row.name + ")");
        }
    }
    sweep.Expect("runs", "Generate");
}

// The range check's step table, with the readings above: the first step that fails names the
// message and the field.
RangeCheckResult ExpectedRange(const Text& s, const Text& e)
{
    const auto refused = [](std::u16string_view message, RangeField focus) {
        return RangeCheckResult{false, 0, 0, message, focus};
    };
    const std::pair<bool, RangeCheckResult> steps[] = {
        {s.text.empty(), refused(kRangeMissingMessage, RangeField::Start)},
        {e.text.empty(), refused(kRangeMissingMessage, RangeField::End)},
        {!s.value, refused(kRangeInvalidMessage, RangeField::Start)},
        {!e.value, refused(kRangeInvalidMessage, RangeField::End)},
        {s.value < kMinLength, refused(kRangeInvalidMessage, RangeField::Start)},
        {e.value > kMaxLength, refused(kRangeInvalidMessage, RangeField::End)},
        {e.value < s.value, refused(kRangeInvalidMessage, RangeField::Start)},
    };
    for (const auto& [fails, result] : steps) {
        if (fails) {
            return result;
        }
    }
    return RangeCheckResult{true,
                            static_cast<std::uint8_t>(*s.value),
                            static_cast<std::uint8_t>(*e.value),
                            {},
                            RangeField::None};
}

std::string RangeProblem(const Text& start, const Text& end)
{
    try {
        const RangeCheckResult got = CheckRange(start.text, end.text);
        if (!(got == ExpectedRange(start, end))) {
            return "ok " + std::to_string(got.ok) + " start " + std::to_string(got.start) +
                   " end " + std::to_string(got.end) + " focus " +
                   std::to_string(static_cast<int>(got.focus));
        }
    } catch (...) {
        return "threw";
    }
    return {};
}

TEST(EveryShortText, RangeCheckFollowsItsStepTableForEveryTextAgainstEveryKindOfPartner)
{
    // Partners cover each step of the table: empty, not numeric, below 1, above 32, the ends.
    std::vector<Text> partners;
    for (const char16_t* text : {u"", u"x", u"0", u"1", u"5", u"32", u"33", u"３", u" 7", u".6"}) {
        partners.push_back(WithReading(text));
    }
    const std::vector<Text> shortTexts = TextsUpTo(1);

    Sweep sweep;
    const auto check = [&sweep](const Text& start, const Text& end) {
        sweep.Check(start.text + u" / " + end.text, RangeProblem(start, end));
    };
    for (const Text& text : TextsUpTo(2)) {
        for (const Text& partner : partners) {
            check(text, partner);
            check(partner, text);
        }
    }
    for (const Text& start : shortTexts) {
        for (const Text& end : shortTexts) {
            check(start, end);
        }
    }
    sweep.Expect("checks", "range check");
}

} // namespace
} // namespace cipherloom::quality
