// libFuzzer target over the numeric rules, the range check, the character draw and the Generate
// command, with fake services. Every documented outcome is checked; anything else traps.
//
// Input layout, so seeds can be written by hand:
//   byte 0..4   MainType, MainOpt, SwitchMode, SpecialType, SpecialOpt (each folded into range)
//   byte 5      a PositionCode for a lone DrawCharacter call (any byte, invalid ones included)
//   the rest    UTF-16LE units, split at U+FFFF into: length text, range start, range end, and
//               random values (pairs of units read as raw floats: NaN, 1.0, negatives all allowed)

#include "generation/generate_command.h"
#include "generation/numeric_entry.h"
#include "generation/password_generator.h"
#include "generation/range_check.h"
#include "tests/support/fakes.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace cipherloom;

constexpr std::size_t kSettingsBytes = 5;
constexpr std::size_t kHeaderBytes = kSettingsBytes + 1;
constexpr char16_t kSeparator = 0xFFFF;
constexpr int kClassCount = 4;
constexpr int kCaseCount = 3;
constexpr int kModeCount = 4;
constexpr int kFieldUnits = 2;
constexpr int kSmallestTwoUnitValue = -9;
constexpr int kLargestTwoUnitValue = 99;
constexpr int kFirstPrintable = 33;
constexpr int kLastPrintable = 126;
constexpr int kCodesPerClass = 4;
constexpr int kLastClass = 3;

void Require(bool condition)
{
    if (!condition) {
        __builtin_trap();
    }
}

using testing::RecordingRuntime;
using testing::RecordingView;
using testing::ScriptedRandom;
using testing::SweepingRandom;

std::vector<std::u16string> SplitUnits(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::u16string> parts(1);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8U));
        if (unit == kSeparator) {
            parts.emplace_back();
        } else {
            parts.back().push_back(unit);
        }
    }
    return parts;
}

std::vector<float> Floats(const std::u16string& units)
{
    std::vector<float> values;
    for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
        const std::uint32_t bits = units[i] | (static_cast<std::uint32_t>(units[i + 1]) << 16U);
        values.push_back(std::bit_cast<float>(bits));
    }
    return values;
}

void CheckNumericRules(const std::u16string& text)
{
    Require(IsEmpty(text) == text.empty());
    if (!IsNumeric(text)) {
        return;
    }
    Require(!text.empty());
    const int value = NumericValue(text);
    if (text.size() <= kFieldUnits) {
        Require(value >= kSmallestTwoUnitValue && value <= kLargestTwoUnitValue);
    }
}

RangeCheckResult CheckRangeOutcome(const std::u16string& start, const std::u16string& end)
{
    const RangeCheckResult result = CheckRange(start, end);
    if (result.ok) {
        Require(result.message.empty() && result.focus == RangeField::None);
        Require(IsNumeric(start) && IsNumeric(end));
        Require(result.start == NumericValue(start) && result.end == NumericValue(end));
        Require(result.start >= kMinLength && result.start <= result.end &&
                result.end <= kMaxLength);
    } else {
        Require(result.message == kRangeMissingMessage || result.message == kRangeInvalidMessage);
        Require(result.focus == RangeField::Start || result.focus == RangeField::End);
        Require(result.start == 0 && result.end == 0);
        Require((result.message == kRangeMissingMessage) == (start.empty() || end.empty()));
    }
    return result;
}

void CheckDraw(std::uint8_t code, const std::vector<float>& values)
{
    // The fuzzer's values first, then a sweep, so that every draw ends.
    SweepingRandom sweep;
    ScriptedRandom random(values, sweep);
    const auto drawn = DrawCharacter(code, random);
    const int charClass = code / kCodesPerClass;
    const int selector = code % kCodesPerClass;
    const bool producible = charClass == 0 || (charClass <= kLastClass && selector != 0);
    Require(drawn.has_value() == producible);
    if (drawn) {
        Require(*drawn >= kFirstPrintable && *drawn <= kLastPrintable);
    }
}

void CheckGenerate(const std::u16string& lengthText, const GenerationSettings& settings,
                   const std::vector<float>& values)
{
    RecordingView view(lengthText);
    view.label = "previous";
    SweepingRandom sweep;
    ScriptedRandom random(values, sweep);
    RecordingRuntime services(random);
    services.clipboard = "previous";
    const GenerationSettings before = settings;
    RunGenerate(view, settings, services);

    Require(!view.readWhileEditable && services.ends == 0);
    Require(!view.readOnly && view.text == lengthText && settings == before);
    const bool good = IsNumeric(lengthText) && NumericValue(lengthText) >= kMinLength &&
                      NumericValue(lengthText) <= kMaxLength;
    if (!good) {
        Require(services.messages.size() == 1);
        const std::u16string& message = services.messages.front();
        Require(message == (IsEmpty(lengthText)      ? kLengthMissingMessage
                            : !IsNumeric(lengthText) ? kLengthNotNumberMessage
                                                     : kLengthOutOfRangeMessage));
        Require(view.label == "previous" && services.clipboard == "previous");
        return;
    }
    Require(services.messages.empty());
    Require(view.label.size() == static_cast<std::size_t>(NumericValue(lengthText)));
    Require(services.clipboard == view.label);
    for (const char c : view.label) {
        Require(c >= kFirstPrintable && c <= kLastPrintable);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < kHeaderBytes) {
        return 0;
    }
    GenerationSettings settings;
    settings.MainType = static_cast<CharClass>(data[0] % kClassCount);
    settings.MainOpt = static_cast<CaseOpt>(data[1] % kCaseCount);
    settings.SwitchMode = static_cast<PositionMode>(data[2] % kModeCount);
    settings.SpecialType = static_cast<CharClass>(data[3] % kClassCount);
    settings.SpecialOpt = static_cast<CaseOpt>(data[4] % kCaseCount);
    const std::uint8_t loneCode = data[kSettingsBytes];

    std::vector<std::u16string> parts = SplitUnits(data + kHeaderBytes, size - kHeaderBytes);
    parts.resize(4);
    const std::u16string& lengthText = parts[0];
    const std::vector<float> values = Floats(parts[3]);

    for (std::size_t i = 0; i < 3; ++i) {
        CheckNumericRules(parts[i]);
    }
    // The dialog stores a range only after its check passes; the settings never hold another.
    const RangeCheckResult range = CheckRangeOutcome(parts[1], parts[2]);
    if (range.ok) {
        settings.RangeStart = range.start;
        settings.RangeEnd = range.end;
    }
    CheckDraw(loneCode, values);
    CheckGenerate(lengthText, settings, values);
    return 0;
}
