#pragma once

#include "runtime/runtime_services.h"

#include <QAbstractButton>
#include <QApplication>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

namespace cipherloom::testing {

// Plays the given values over and over, so a test knows which characters come out.
class CyclingRandom final : public RandomSource
{
public:
    explicit CyclingRandom(std::vector<float> values) : m_values(std::move(values)) {}

    float Next() override
    {
        const float value = m_values[m_next];
        m_next = (m_next + 1) % m_values.size();
        return value;
    }
    void Reseed() override { m_next = 0; }

private:
    std::vector<float> m_values;
    std::size_t m_next = 0;
};

// Records what the windows ask of the runtime; the message box returns at once.
class FakeRuntime final : public RuntimeServices
{
public:
    // With digits, value k/10 + 0.05 draws the digit k: the password reads "01234567...".
    FakeRuntime() : m_random({0.05F, 0.15F, 0.25F, 0.35F, 0.45F, 0.55F, 0.65F, 0.75F, 0.85F, 0.95F})
    {}

    void MsgBox(std::u16string_view prompt) override
    {
        messages << QString::fromUtf16(prompt.data(), static_cast<qsizetype>(prompt.size()));
        calls << QStringLiteral("msgbox");
    }
    RandomSource& Random() override { return m_random; }
    void ClearClipboard() override { calls << QStringLiteral("clear"); }
    bool SetClipboardText(std::string_view text) override
    {
        calls << QStringLiteral("set:") +
                     QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
        return true;
    }
    void End() override { calls << QStringLiteral("end"); }

    QStringList messages;
    QStringList calls;

private:
    CyclingRandom m_random;
};

// A control of the given window itself, not one of the same name in a dialog it owns.
template <typename T>
T* Control(const QWidget& window, const QString& name)
{
    const QList<T*> found = window.findChildren<T*>(name);
    for (T* widget : found) {
        if (widget->window() == &window) {
            return widget;
        }
    }
    return nullptr;
}

// Runs the action on the next modal window as soon as it is up, then lets the caller block in
// its exec(). The action is expected to close the window.
inline void OnNextModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) {
            return;
        }
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start(0);
}

} // namespace cipherloom::testing
