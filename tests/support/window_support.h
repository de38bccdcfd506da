#pragma once

// What the window tests share: the runtime the windows get, finding a window's controls, and
// answering a modal window from inside its exec().

#include "tests/support/fakes.h"

#include <QAccessible>
#include <QApplication>
#include <QList>
#include <QObject>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <QtGlobal>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace cipherloom::testing {

// Message boxes return at once and every call is logged. Value k/10 + 0.05 draws the digit k, so
// with digits a password reads "0123456789012...".
struct WindowFakes
{
    Q_DISABLE_COPY_MOVE(WindowFakes)
    WindowFakes() = default;

    EventLog calls;
    ScriptedRandom random{{0.05F, 0.15F, 0.25F, 0.35F, 0.45F, 0.55F, 0.65F, 0.75F, 0.85F, 0.95F},
                          ScriptedRandom::AtEnd::Repeat};
    RecordingRuntime runtime{random, &calls};
};

// The logs as Qt lists, so QCOMPARE prints both sides on a mismatch.
inline QStringList Texts(const std::vector<std::string>& texts)
{
    QStringList list;
    for (const std::string& text : texts) {
        list << QString::fromStdString(text);
    }
    return list;
}

inline QStringList Texts(const std::vector<std::u16string>& texts)
{
    QStringList list;
    for (const std::u16string& text : texts) {
        list << QString::fromStdU16String(text);
    }
    return list;
}

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

// The window's default buttons as shown (the frame) and as told to assistive technology, one
// entry per button that claims it either way: "Command1" when both agree, "Command1 (frame only)"
// or "Command1 (reported only)" when they do not.
inline QStringList DefaultButtons(const QWidget& window)
{
    QStringList found;
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->window() != &window) {
            continue;
        }
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        const bool reported = accessible != nullptr && accessible->state().defaultButton;
        if (button->isDefault() && reported) {
            found << button->objectName();
        } else if (button->isDefault() || reported) {
            found << button->objectName() + (reported ? QStringLiteral(" (reported only)")
                                                      : QStringLiteral(" (frame only)"));
        }
    }
    return found;
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
