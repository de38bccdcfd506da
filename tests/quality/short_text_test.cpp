// Every text of up to two UTF-16 units over an alphabet that holds what a keyboard or an input
// method can put into a two-character field (and a few things it should not), through the numeric
// rules, the Generate command and the range check. Each outcome is compared with the forms the
// numeric rules document, worked out here from the folded text rather than by the parser.

#include "generation/generate_command.h"
#include "generation/numeric_entry.h"
#include "generation/password_generator.h"
#include "generation/range_check.h"
#include "tests/support/fakes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
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

std::vector<char16_t> Alphabet()
{
    std::vector<char16_t> units;
    for (char16_t c = 0; c <= kAsciiLast; ++c) {
        units.push_back(c);
    }
    for (char16_t c = kFullWidthFirst; c <= kFullWidthLast; ++c) {
        units.push_back(c);
    }
    units.push_back(kIdeographicSpace);
    for (char16_t i = 0; i < kOtherDigits; ++i) {
        units.push_back(static_cast<char16_t>(kArabicIndicZero + i));
        units.push_back(static_cast<char16_t>(kDevanagariZero + i));
    }
    units.push_back(kHighSurrogate);
    units.push_back(kLowSurrogate);
    return units;
}

std::vector<std::u16string> TextsUpTo(int units)
{
    const std::vector<char16_t> alphabet = Alphabet();
    std::vector<std::u16string> texts{u""};
    for (char16_t a : alphabet) {
        texts.emplace_back(1, a);
    }
    if (units >= 2) {
        for (char16_t a : alphabet) {
            for (char16_t b : alphabet) {
                texts.push_back(std::u16string{a, b});
            }
        }
    }
    return texts;
}

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

bool IsAsciiDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

enum class Kind
{
    Empty,
    NotNumeric,
    Number,
};

struct Reading
{
    Kind kind = Kind::NotNumeric;
    int value = 0;
};

// The documented two-character forms: d, dd, +d, -d, .d, d. and a digit with one space before or
// after it. ".d" rounds half to even: .5 gives 0, .6 gives 1.
Reading Read(const std::u16string& text)
{
    constexpr int kHalf = 5;
    if (text.empty()) {
        return {Kind::Empty, 0};
    }
    if (text.size() == 1) {
        const char16_t a = Folded(text[0]);
        return IsAsciiDigit(a) ? Reading{Kind::Number, a - u'0'} : Reading{};
    }
    const char16_t a = Folded(text[0]);
    const char16_t b = Folded(text[1]);
    if (IsAsciiDigit(a) && IsAsciiDigit(b)) {
        return {Kind::Number, (a - u'0') * 10 + (b - u'0')};
    }
    if (IsAsciiDigit(b) && (a == u'+' || a == u' ')) {
        return {Kind::Number, b - u'0'};
    }
    if (IsAsciiDigit(b) && a == u'-') {
        return {Kind::Number, -(b - u'0')};
    }
    if (IsAsciiDigit(b) && a == u'.') {
        return {Kind::Number, (b - u'0') > kHalf ? 1 : 0};
    }
    if (IsAsciiDigit(a) && (b == u'.' || b == u' ')) {
        return {Kind::Number, a - u'0'};
    }
    return {};
}

std::string Describe(const std::u16string& text)
{
    std::ostringstream out;
    out << '[';
    for (char16_t c : text) {
        out << " U+" << std::hex << std::uppercase << static_cast<unsigned>(c);
    }
    out << " ]";
    return out.str();
}

// Collects the first few failures of a sweep; a sweep of tens of thousands of texts must not
// print tens of thousands of lines when one rule is broken.
class Failures final
{
public:
    void Add(const std::u16string& text, const std::string& what)
    {
        if (m_count++ < kReportedFailures) {
            m_first << "\n  " << Describe(text) << ": " << what;
        }
    }
    int Count() const { return m_count; }
    std::string First() const { return m_first.str(); }

private:
    int m_count = 0;
    std::ostringstream m_first;
};

struct SettingsRow
{
    const char* name;
    GenerationSettings settings;
    bool digitsOnly;
};

const SettingsRow kSettingsRows[] = {
    {"the defaults", GenerationSettings{}, true},
    {"symbols with a digit range 3..5",
     GenerationSettings{CharClass::AlphanumericSymbols, CaseOpt::All, PositionMode::Range,
                        CharClass::Digits, CaseOpt::All, 3, 5},
     false},
};

constexpr int kFirstPrintable = 33;
constexpr int kLastPrintable = 126;
const std::string kPrevious = "previous password";

TEST(EveryShortText, NumericRulesReadExactlyTheDocumentedFormsWithTheirValuesAndRefuseTheRest)
{
    const std::vector<std::u16string> texts = TextsUpTo(2);
    Failures failures;
    for (const std::u16string& text : texts) {
        const Reading want = Read(text);
        try {
            const bool empty = IsEmpty(text);
            const bool numeric = IsNumeric(text);
            const int value = NumericValue(text); // harmless even where callers would not ask
            if (empty != (want.kind == Kind::Empty)) {
                failures.Add(text, "IsEmpty " + std::to_string(empty));
            } else if (numeric != (want.kind == Kind::Number)) {
                failures.Add(text, "IsNumeric " + std::to_string(numeric));
            } else if (numeric && value != want.value) {
                failures.Add(text, "value " + std::to_string(value) + ", documented " +
                                       std::to_string(want.value));
            }
        } catch (...) {
            failures.Add(text, "threw");
        }
    }
    EXPECT_EQ(failures.Count(), 0) << failures.First();
    RecordProperty("texts", static_cast<int>(texts.size()));
    std::printf("[ figures  ] numeric rules: %zu texts\n", texts.size());
}

TEST(EveryShortText, GenerateShowsOneDocumentedMessageAndChangesNothingOrMakesThatManyCharacters)
{
    const std::vector<std::u16string> texts = TextsUpTo(2);
    Failures failures;
    std::size_t runs = 0;
    for (const SettingsRow& row : kSettingsRows) {
        for (const std::u16string& text : texts) {
            ++runs;
            const Reading want = Read(text);
            testing::RecordingView view(text);
            view.label = kPrevious;
            // Never runs out; the randomness is tested apart.
            testing::SweepingRandom random;
            testing::RecordingRuntime services(random);
            services.clipboard = kPrevious;
            const GenerationSettings before = row.settings;
            try {
                RunGenerate(view, row.settings, services);
            } catch (...) {
                failures.Add(text, std::string("threw with ") + row.name);
                continue;
            }

            std::u16string_view message;
            if (want.kind == Kind::Empty) {
                message = kLengthMissingMessage;
            } else if (want.kind == Kind::NotNumeric) {
                message = kLengthNotNumberMessage;
            } else if (want.value < kMinLength || want.value > kMaxLength) {
                message = kLengthOutOfRangeMessage;
            }

            std::string problem;
            if (view.text != text) {
                problem = "field text changed";
            } else if (view.readOnly) {
                problem = "field left read-only";
            } else if (view.readWhileEditable) {
                problem = "field read while editable";
            } else if (services.ends != 0) {
                problem = "ended the program";
            } else if (!(row.settings == before)) {
                problem = "settings changed";
            } else if (!message.empty()) {
                if (services.messages.size() != 1 || services.messages[0] != message) {
                    problem = "not exactly the one documented message";
                } else if (view.label != kPrevious || services.clipboard != kPrevious ||
                           random.nextCalls != 0) {
                    problem = "a refusal changed the label, the clipboard or drew";
                }
            } else {
                bool printable = true;
                bool digits = true;
                for (char c : view.label) {
                    printable = printable && c >= kFirstPrintable && c <= kLastPrintable;
                    digits = digits && c >= '0' && c <= '9';
                }
                if (!services.messages.empty()) {
                    problem = "a message with a good length";
                } else if (view.label.size() != static_cast<std::size_t>(want.value)) {
                    problem = "password of " + std::to_string(view.label.size()) +
                              " characters for " + std::to_string(want.value);
                } else if (!printable || (row.digitsOnly && !digits)) {
                    problem = "password outside its classes: " + view.label;
                } else if (services.clipboard != view.label) {
                    problem = "clipboard does not hold the shown password";
                }
            }
            if (!problem.empty()) {
                failures.Add(text, problem + " (" + row.name + ")");
            }
        }
    }
    EXPECT_EQ(failures.Count(), 0) << failures.First();
    RecordProperty("runs", static_cast<int>(runs));
    std::printf("[ figures  ] Generate: %zu runs\n", runs);
}

// The range check's step table, with the readings above.
RangeCheckResult ExpectedRange(const std::u16string& start, const std::u16string& end)
{
    const Reading s = Read(start);
    const Reading e = Read(end);
    const auto refuse = [](std::u16string_view message, RangeField focus) {
        return RangeCheckResult{false, 0, 0, message, focus};
    };
    if (s.kind == Kind::Empty) {
        return refuse(kRangeMissingMessage, RangeField::Start);
    }
    if (e.kind == Kind::Empty) {
        return refuse(kRangeMissingMessage, RangeField::End);
    }
    if (s.kind == Kind::NotNumeric) {
        return refuse(kRangeInvalidMessage, RangeField::Start);
    }
    if (e.kind == Kind::NotNumeric) {
        return refuse(kRangeInvalidMessage, RangeField::End);
    }
    if (s.value < kMinLength) {
        return refuse(kRangeInvalidMessage, RangeField::Start);
    }
    if (e.value > kMaxLength) {
        return refuse(kRangeInvalidMessage, RangeField::End);
    }
    if (e.value < s.value) {
        return refuse(kRangeInvalidMessage, RangeField::Start);
    }
    return RangeCheckResult{true,
                            static_cast<std::uint8_t>(s.value),
                            static_cast<std::uint8_t>(e.value),
                            {},
                            RangeField::None};
}

TEST(EveryShortText, RangeCheckFollowsItsStepTableForEveryTextAgainstEveryKindOfPartner)
{
    // Partners cover each step of the table: empty, not numeric, below 1, above 32, the ends.
    const std::vector<std::u16string> partners = {u"",   u"x",  u"0",  u"1",  u"5",
                                                  u"32", u"33", u"３", u" 7", u".6"};
    const std::vector<std::u16string> texts = TextsUpTo(2);
    const std::vector<std::u16string> shortTexts = TextsUpTo(1);

    Failures failures;
    std::size_t checks = 0;
    const auto check = [&](const std::u16string& start, const std::u16string& end) {
        ++checks;
        try {
            const RangeCheckResult got = CheckRange(start, end);
            const RangeCheckResult want = ExpectedRange(start, end);
            if (!(got == want)) {
                failures.Add(start + u" / " + end, "ok " + std::to_string(got.ok) + " start " +
                                                       std::to_string(got.start) + " end " +
                                                       std::to_string(got.end) + " focus " +
                                                       std::to_string(static_cast<int>(got.focus)));
            }
        } catch (...) {
            failures.Add(start + u" / " + end, "threw");
        }
    };
    for (const std::u16string& text : texts) {
        for (const std::u16string& partner : partners) {
            check(text, partner);
            check(partner, text);
        }
    }
    for (const std::u16string& start : shortTexts) {
        for (const std::u16string& end : shortTexts) {
            check(start, end);
        }
    }
    EXPECT_EQ(failures.Count(), 0) << failures.First();
    RecordProperty("checks", static_cast<int>(checks));
    std::printf("[ figures  ] range check: %zu pairs\n", checks);
}

} // namespace
} // namespace cipherloom::quality
