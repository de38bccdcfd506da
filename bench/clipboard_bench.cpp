// Generate to clipboard in one process: the real Qt services (QtRuntime) on the offscreen platform,
// timed from the call until the application clipboard reads back the password.

#include "generation/generate_command.h"
#include "runtime/qt_runtime.h"
#include "tests/support/fakes.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QString>

#include <string>
#include <string_view>

namespace cipherloom::bench {
namespace {

// A benchmark that saw a wrong clipboard fails the whole run, so its smoke test can fail.
bool g_clipboardFailed = false;

void FailClipboard(benchmark::State& state, const char* why)
{
    g_clipboardFailed = true;
    state.SkipWithError(why);
}

GenerationSettings Strongest()
{
    GenerationSettings settings;
    settings.MainType = CharClass::AlphanumericSymbols;
    return settings;
}

void GenerateToClipboard(benchmark::State& state)
{
    QtRuntime runtime;
    testing::RecordingView view(u"32");
    const GenerationSettings settings = Strongest();
    QClipboard* clipboard = QGuiApplication::clipboard();
    int mismatches = 0;
    for (auto _ : state) {
        RunGenerate(view, settings, runtime);
        if (clipboard->text() !=
            QString::fromLatin1(view.label.data(), static_cast<qsizetype>(view.label.size()))) {
            ++mismatches;
        }
    }
    if (mismatches != 0) {
        FailClipboard(state, "the clipboard did not hold the password");
    }
    clipboard->clear();
}
BENCHMARK(GenerateToClipboard);

// The clipboard half alone: replace the clipboard with the payload and its privacy hints, and
// confirm that the program owns it.
void ClipboardSet(benchmark::State& state)
{
    QtRuntime runtime;
    const std::string password(32, 'x');
    int failures = 0;
    for (auto _ : state) {
        if (!runtime.SetClipboardText(password)) {
            ++failures;
        }
    }
    if (failures != 0) {
        FailClipboard(state, "the clipboard could not be set");
    }
    QGuiApplication::clipboard()->clear();
}
BENCHMARK(ClipboardSet);

} // namespace
} // namespace cipherloom::bench

int main(int argc, char** argv)
{
    // In-process clipboard: no display needed, and nothing leaves the process.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return cipherloom::bench::g_clipboardFailed ? 1 : 0;
}
