// The generator with the operating system's random source: one 32-character password per row of
// the draw table, a batch of 100 000 to set beside pwgen, and the Generate command with fakes.

#include "generation/generate_command.h"
#include "generation/password_generator.h"
#include "runtime/system_random_source.h"
#include "tests/support/fakes.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace cipherloom::bench {
namespace {

constexpr std::int16_t kLength = 32;
constexpr int kBatch = 100'000;

struct Row
{
    const char* name;
    CharClass charClass;
    CaseOpt caseOpt;
};

constexpr Row kRows[] = {
    {"digits", CharClass::Digits, CaseOpt::All},
    {"letters", CharClass::Letters, CaseOpt::All},
    {"letters_lower", CharClass::Letters, CaseOpt::LowerOnly},
    {"letters_upper", CharClass::Letters, CaseOpt::UpperOnly},
    {"alnum", CharClass::Alphanumeric, CaseOpt::All},
    {"alnum_lower", CharClass::Alphanumeric, CaseOpt::LowerOnly},
    {"alnum_upper", CharClass::Alphanumeric, CaseOpt::UpperOnly},
    {"symbols", CharClass::AlphanumericSymbols, CaseOpt::All},
    {"symbols_lower", CharClass::AlphanumericSymbols, CaseOpt::LowerOnly},
    {"symbols_upper", CharClass::AlphanumericSymbols, CaseOpt::UpperOnly},
};

GenerationSettings SettingsFor(const Row& row)
{
    GenerationSettings settings;
    settings.MainType = row.charClass;
    settings.MainOpt = row.caseOpt;
    return settings;
}

void Password32(benchmark::State& state, const Row& row)
{
    const GenerationSettings settings = SettingsFor(row);
    SystemRandomSource random;
    for (auto _ : state) {
        std::string password = GeneratePassword(settings, kLength, random);
        benchmark::DoNotOptimize(password.data());
    }
    state.counters["passwords_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Rates use wall-clock time, as the script times pwgen.

// What `pwgen -s -1 32 100000` does: 100 000 passwords of letters, digits and symbols, one per
// line into an output buffer (pwgen writes to a pipe; the script sends both to /dev/null).
void HundredThousandPasswords(benchmark::State& state)
{
    const GenerationSettings settings = SettingsFor(kRows[7]);
    SystemRandomSource random;
    std::string out;
    out.reserve(static_cast<std::size_t>(kBatch) * (kLength + 1));
    for (auto _ : state) {
        out.clear();
        for (int i = 0; i < kBatch; ++i) {
            out += GeneratePassword(settings, kLength, random);
            out += '\n';
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["passwords_per_second"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBatch, benchmark::Counter::kIsRate);
}
BENCHMARK(HundredThousandPasswords)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// The whole Generate command (read, check, draw, show, clipboard) with in-memory view and services.
void RunGenerateWithFakes(benchmark::State& state)
{
    const GenerationSettings settings = SettingsFor(kRows[7]);
    testing::RecordingView view(u"32");
    SystemRandomSource random;
    testing::RecordingRuntime services(random);
    for (auto _ : state) {
        RunGenerate(view, settings, services);
        benchmark::DoNotOptimize(services.clipboard.data());
    }
}
BENCHMARK(RunGenerateWithFakes);

// One value from the source on its own, the floor under every figure above.
void SystemSourceNext(benchmark::State& state)
{
    SystemRandomSource random;
    for (auto _ : state) {
        benchmark::DoNotOptimize(random.Next());
    }
}
BENCHMARK(SystemSourceNext);

const bool kRegistered = [] {
    for (const Row& row : kRows) {
        benchmark::RegisterBenchmark((std::string("Password32/") + row.name).c_str(), Password32,
                                     row)
            ->UseRealTime();
    }
    return true;
}();

} // namespace
} // namespace cipherloom::bench

BENCHMARK_MAIN();
