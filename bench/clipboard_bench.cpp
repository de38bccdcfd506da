// Generate to clipboard in one process: the real Qt services (QtRuntime) on the offscreen platform,
// timed from the call until the application clipboard reads back the password.

#include "generation/generate_command.h"
#include "runtime/qt_runtime.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QString>

#include <string>
#include <string_view>

namespace cipherloom::bench {
namespace {

class LabelView final : public GenerateView
{
public:
    std::u16string LengthText() const override { return u"32"; }
    void SetLengthReadOnly(bool) override {}
    void ShowPassword(std::string_view password) override { label = password; }

    std::string label;
};

GenerationSettings Strongest()
{
    GenerationSettings settings;
    settings.MainType = static_cast<std::uint8_t>(CharClass::AlphanumericSymbols);
    return settings;
}

void GenerateToClipboard(benchmark::State& state)
{
    QtRuntime runtime;
    LabelView view;
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
        state.SkipWithError("the clipboard did not hold the password");
    }
    clipboard->clear();
}
BENCHMARK(GenerateToClipboard);

// The clipboard half alone: clear, then set the payload with its privacy hints.
void ClipboardClearAndSet(benchmark::State& state)
{
    QtRuntime runtime;
    const std::string password(32, 'x');
    for (auto _ : state) {
        runtime.ClearClipboard();
        runtime.SetClipboardText(password);
    }
    QGuiApplication::clipboard()->clear();
}
BENCHMARK(ClipboardClearAndSet);

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
    return 0;
}
