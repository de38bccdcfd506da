#pragma once

// What the window tests share: the runtime the windows get, finding and using a window's
// controls by name, and answering a modal window from inside its exec().

#include "tests/support/fakes.h"

#include <QAccessible>
#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QObject>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QtGlobal>

#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace cipherloom::testing {

// The logs as Qt lists, so QCOMPARE prints both sides on a mismatch.
template <typename Text>
QStringList Texts(const std::vector<Text>& texts)
{
    QStringList list;
    for (const Text& text : texts) {
        if constexpr (std::is_same_v<Text, std::string>) {
            list << QString::fromStdString(text);
        } else {
            list << QString::fromStdU16String(text);
        }
    }
    return list;
}

// Message boxes return at once and every call is logged. Value k/10 + 0.05 draws the digit k, so
// with digits a password reads "0123456789012...".
struct WindowFakes
{
    Q_DISABLE_COPY_MOVE(WindowFakes)
    WindowFakes() = default;

    QStringList Calls() const { return Texts(calls); }
    QStringList Messages() const { return Texts(runtime.messages); }
    void Forget()
    {
        calls.clear();
        runtime.messages.clear();
    }

    EventLog calls;
    ScriptedRandom random{{0.05F, 0.15F, 0.25F, 0.35F, 0.45F, 0.55F, 0.65F, 0.75F, 0.85F, 0.95F},
                          ScriptedRandom::AtEnd::Repeat};
    RecordingRuntime runtime{random, &calls};
};

// A control of the given window itself, not one of the same name in a dialog it owns.
template <typename T = QWidget>
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

// Each key to whatever has the focus by then, as a typist's keys arrive.
inline void Press(const QKeySequence& keys)
{
    for (int i = 0; i < keys.count(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), keys[i].key(), keys[i].keyboardModifiers());
    }
}

// A user's steps on the window: "Name" clicks that control, "Name=text" puts the text into it,
// "focus:Name" gives it the focus and "key:Alt+L" presses those keys.
inline void Play(const QWidget& window, const QStringList& steps)
{
    for (const QString& step : steps) {
        if (step.startsWith(u"key:")) {
            Press(QKeySequence::fromString(step.mid(4), QKeySequence::PortableText));
        } else if (step.startsWith(u"focus:")) {
            Control(window, step.mid(6))->setFocus(Qt::TabFocusReason);
        } else if (const qsizetype equals = step.indexOf(u'='); equals >= 0) {
            Control<QLineEdit>(window, step.left(equals))->setText(step.mid(equals + 1));
        } else {
            QTest::mouseClick(Control(window, step), Qt::LeftButton);
        }
    }
}

// Steps written in one text, separated by spaces.
inline QStringList Steps(const QString& spaced)
{
    return spaced.split(u' ', Qt::SkipEmptyParts);
}

// What the options dialog shows or hides by its mode: range fields, tilde, class and case frames.
inline const QStringList kRangeParts = QStringLiteral("SPos Label1 EPos Frame2 Frame1").split(u' ');

// The names of the window's checked option buttons.
inline QStringList Checked(const QWidget& window)
{
    QStringList names;
    for (const QRadioButton* button : window.findChildren<QRadioButton*>()) {
        if (button->window() == &window && button->isChecked()) {
            names << button->objectName();
        }
    }
    return names;
}

// "1" for each named control that is visible, "0" for each that is not.
inline QString Shown(const QWidget& window, const QStringList& names)
{
    QString shown;
    for (const QString& name : names) {
        shown += Control(window, name)->isVisible() ? u'1' : u'0';
    }
    return shown;
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
