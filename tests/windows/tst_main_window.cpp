// The main window's handlers and keyboard against a fake runtime: class and case choice,
// Generate refused and accepted, the clipboard rule at exit, and the options dialog's life
// as seen from the main window.

#include "runtime/qt_translation.h"
#include "tests/support/window_support.h"
#include "windows/MainWin.h"
#include "windows/OptWin.h"

#include <QAccessible>
#include <QAction>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTranslator>
#include <QWindow>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using cipherloom::CaseOpt;
using cipherloom::CharClass;
using cipherloom::GenerationSettings;
using cipherloom::MainWin;
using cipherloom::OptWin;
using cipherloom::PositionMode;
using cipherloom::testing::Control;
using cipherloom::testing::DefaultButtons;
using cipherloom::testing::OnNextModal;
using cipherloom::testing::Texts;
using cipherloom::testing::WindowFakes;

class MainWindowTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void classAndCaseClicks_data();
    void classAndCaseClicks();
    void generateShowsAndCopies_data();
    void generateShowsAndCopies();
    void refusedGenerateChangesNothing_data();
    void refusedGenerateChangesNothing();
    void passwordIsShownLiterallyAndWipedWhenReplaced();
    void keyboard_data();
    void keyboard();
    void generateStaysTheDefaultButton_data();
    void generateStaysTheDefaultButton();
    void numberFieldMenusAreJapanese_data();
    void numberFieldMenusAreJapanese();
    void accessKeyActsBeforeTheNextKey_data();
    void accessKeyActsBeforeTheNextKey();
    void exitClearsOnlyAfterAPassword_data();
    void exitClearsOnlyAfterAPassword();
    void optionsDialogIsMadeOnceAndKept();
    void cancelTurnsSpecialPositionsOff();
    void dialogKeepsItsStateAndPlace();
    void closingTheDialogActsAsCancel();

private:
    template <typename T = QWidget>
    T* Main(const QString& name) const
    {
        return Control<T>(*m_main, name);
    }
    void Click(const QString& name) const
    {
        QTest::mouseClick(Main<QAbstractButton>(name), Qt::LeftButton);
    }
    void Generate(const QString& lengthText) const
    {
        Main<QLineEdit>(u"StrLength"_s)->setText(lengthText);
        Click(u"Command1"_s);
    }
    // Opens the dialog with the Options button and runs the action on it while it is modal.
    void WithDialog(const std::function<void(OptWin&)>& action)
    {
        OnNextModal([action](QWidget* modal) {
            auto* dialog = qobject_cast<OptWin*>(modal);
            if (dialog == nullptr) {
                modal->close();
                QFAIL("the modal window is not the options dialog");
            }
            action(*dialog);
            // A failed check inside the action must not leave the test blocked in exec().
            if (dialog->isVisible()) {
                dialog->reject();
            }
        });
        Click(u"Command3"_s);
        QVERIFY(m_main->OptionsDialog() != nullptr);
        QVERIFY(!m_main->OptionsDialog()->isVisible());
    }

    QTranslator m_qtTranslation;
    std::unique_ptr<WindowFakes> m_fakes;
    std::unique_ptr<MainWin> m_main;
};

namespace {

template <typename T = QWidget>
T* In(const OptWin& dialog, const QString& name)
{
    return Control<T>(dialog, name);
}

void ClickIn(const OptWin& dialog, const QString& name)
{
    QTest::mouseClick(In<QAbstractButton>(dialog, name), Qt::LeftButton);
}

// What a screen reader is told; it keeps to a modal window until that closes.
bool ReportedModal(QWidget* window)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(window);
    return accessible != nullptr && accessible->state().modal;
}

} // namespace

void MainWindowTest::initTestCase()
{
    // What the program's runtime installs at start.
    QVERIFY(cipherloom::InstallQtTranslation(m_qtTranslation));
}

void MainWindowTest::init()
{
    m_fakes = std::make_unique<WindowFakes>();
    m_main = std::make_unique<MainWin>(m_fakes->runtime);
    m_main->move(200, 150);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
}

void MainWindowTest::cleanup()
{
    m_main.reset();
    m_fakes.reset();
}

void MainWindowTest::classAndCaseClicks_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("mainType");
    QTest::addColumn<int>("mainOpt");
    QTest::addColumn<bool>("caseFrameShown");

    QTest::newRow("letters show the case frame") << QStringList{u"Type1"_s} << 1 << 0 << true;
    QTest::newRow("alphanumerics show it too") << QStringList{u"Type2"_s} << 2 << 0 << true;
    QTest::newRow("symbols with uppercase only")
        << QStringList{u"Type3"_s, u"Opt2"_s} << 3 << 2 << true;
    QTest::newRow("digits hide the frame again")
        << QStringList{u"Type1"_s, u"Type0"_s} << 0 << 0 << false;
    QTest::newRow("a case chosen before survives hiding the frame")
        << QStringList{u"Type1"_s, u"Opt1"_s, u"Type0"_s, u"Type2"_s} << 2 << 1 << true;
}

void MainWindowTest::classAndCaseClicks()
{
    QFETCH(QStringList, clicks);
    QFETCH(int, mainType);
    QFETCH(int, mainOpt);
    QFETCH(bool, caseFrameShown);

    for (const QString& name : clicks) {
        Click(name);
    }
    QCOMPARE(int(m_main->Settings().MainType), mainType);
    QCOMPARE(int(m_main->Settings().MainOpt), mainOpt);
    QCOMPARE(Main(u"Frame1"_s)->isVisible(), caseFrameShown);
    QVERIFY(Main<QRadioButton>(u"Opt%1"_s.arg(mainOpt))->isChecked());
}

void MainWindowTest::generateShowsAndCopies_data()
{
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("password");

    QTest::newRow("the initial 8 gives eight characters") << u"8"_s << u"01234567"_s;
    QTest::newRow("full-width digits from an input method count") << u"１２"_s << u"012345678901"_s;
}

void MainWindowTest::generateShowsAndCopies()
{
    QFETCH(QString, length);
    QFETCH(QString, password);

    Generate(length);
    QCOMPARE(Main<QLabel>(u"PassWord"_s)->text(), password);
    QCOMPARE(Texts(m_fakes->calls), (QStringList{u"set:"_s + password}));
    const auto* field = Main<QLineEdit>(u"StrLength"_s);
    QVERIFY(!field->isReadOnly());
    QVERIFY(!field->testAttribute(Qt::WA_InputMethodEnabled));
    QCOMPARE(field->text(), length);
}

void MainWindowTest::refusedGenerateChangesNothing_data()
{
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("message");

    QTest::newRow("an empty field asks for the length")
        << QString() << u"文字数を入力してください。"_s;
    QTest::newRow("a space is not a number") << u" "_s << u"文字数は数値を入力してください。"_s;
    QTest::newRow("33 is too long") << u"33"_s << u"文字数は1～32の値を入力してください。"_s;
}

void MainWindowTest::refusedGenerateChangesNothing()
{
    QFETCH(QString, length);
    QFETCH(QString, message);

    Generate(u"4"_s);
    m_fakes->calls.clear();

    Generate(length);
    QCOMPARE(Texts(m_fakes->runtime.messages), QStringList{message});
    QCOMPARE(Texts(m_fakes->calls), QStringList{u"msgbox"_s});
    QCOMPARE(Main<QLabel>(u"PassWord"_s)->text(), u"0123"_s);
    const auto* field = Main<QLineEdit>(u"StrLength"_s);
    QCOMPARE(field->text(), length);
    QVERIFY(!field->isReadOnly());
    QVERIFY(!field->testAttribute(Qt::WA_InputMethodEnabled));
}

void MainWindowTest::passwordIsShownLiterallyAndWipedWhenReplaced()
{
    // Symbols may form markup or access keys; the label must show them as typed.
    const QString password = u"<b>&x</b>&&"_s;
    m_main->ShowPassword(password.toStdString());
    auto* label = Main<QLabel>(u"PassWord"_s);
    QCOMPARE(label->text(), password);
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QVERIFY(label->buddy() == nullptr);
    QVERIFY(label->sizeHint().width() >= label->fontMetrics().horizontalAdvance(password));

    // Shares the label's buffer, as any copy Qt made of the text would.
    const QString shownBefore = label->text();
    m_main->ShowPassword("next");
    QCOMPARE(label->text(), u"next"_s);
    QCOMPARE(shownBefore, QString(password.size(), QChar()));
}

void MainWindowTest::keyboard_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("focusAfter");

    const QStringList generated{u"set:01234567"_s};
    QTest::newRow("Enter in the length field generates")
        << u"StrLength"_s << int(Qt::Key_Return) << int(Qt::NoModifier) << generated
        << u"StrLength"_s;
    QTest::newRow("keypad Enter on an option button generates")
        << u"Type0"_s << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << generated << u"Type0"_s;
    QTest::newRow("Enter on the Generate button generates once")
        << u"Command1"_s << int(Qt::Key_Return) << int(Qt::NoModifier) << generated
        << u"Command1"_s;
    QTest::newRow("Enter on the Exit button exits instead")
        << u"Command2"_s << int(Qt::Key_Return) << int(Qt::NoModifier) << QStringList{u"end"_s}
        << u"Command2"_s;
    QTest::newRow("Esc does nothing") << u"StrLength"_s << int(Qt::Key_Escape)
                                      << int(Qt::NoModifier) << QStringList{} << u"StrLength"_s;
    QTest::newRow("Alt+L puts the caret into the length field")
        << u"Command1"_s << int(Qt::Key_L) << int(Qt::AltModifier) << QStringList{}
        << u"StrLength"_s;
    QTest::newRow("Alt+W chooses letters")
        << u"StrLength"_s << int(Qt::Key_W) << int(Qt::AltModifier) << QStringList{} << u"Type1"_s;
}

void MainWindowTest::keyboard()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QStringList, calls);
    QFETCH(QString, focusAfter);

    QWidget* target = Main(focus);
    target->setFocus();
    QCOMPARE(QApplication::focusWidget(), target);
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(Texts(m_fakes->calls), calls);
    QCOMPARE(QApplication::focusWidget(), Main(focusAfter));
    QVERIFY(m_main->isVisible());
    if (focusAfter.startsWith(u"Type"_s)) {
        QTRY_VERIFY(Main<QRadioButton>(focusAfter)->isChecked());
        QCOMPARE(int(m_main->Settings().MainType), focusAfter.back().digitValue());
    }
}

void MainWindowTest::generateStaysTheDefaultButton_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("defaultButton");

    QTest::newRow("at start") << QStringList{} << u"Command1"_s;
    QTest::newRow("another push button with the focus takes it")
        << QStringList{u"focus:Command3"_s} << u"Command3"_s;
    QTest::newRow("tabbing through every control, then a click into the length field")
        << (QStringList(16, u"tab"_s) << u"click:StrLength"_s) << u"Command1"_s;
    QTest::newRow("Generate clicked, then Alt+L back into the length field")
        << QStringList{u"click:Command1"_s, u"altL"_s} << u"Command1"_s;
    QTest::newRow("the options dialog opened with its access key and closed")
        << QStringList{u"options"_s} << u"Command1"_s;
}

void MainWindowTest::generateStaysTheDefaultButton()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, defaultButton);

    for (const QString& step : steps) {
        if (step == u"tab"_s) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        } else if (step == u"altL"_s) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::AltModifier);
        } else if (step.startsWith(u"focus:"_s)) {
            Main(step.mid(6))->setFocus(Qt::TabFocusReason);
        } else if (step.startsWith(u"click:"_s)) {
            QTest::mouseClick(Main(step.mid(6)), Qt::LeftButton);
        } else if (step == u"options"_s) {
            OnNextModal([](QWidget* dialog) { dialog->close(); });
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
            QVERIFY(!m_main->OptionsDialog()->isVisible());
        }
    }
    QCOMPARE(DefaultButtons(*m_main), QStringList{defaultButton});
}

void MainWindowTest::numberFieldMenusAreJapanese_data()
{
    QTest::addColumn<QString>("field");

    QTest::newRow("length") << u"StrLength"_s;
    QTest::newRow("range start") << u"SPos"_s;
    QTest::newRow("range end") << u"EPos"_s;
}

void MainWindowTest::numberFieldMenusAreJapanese()
{
    QFETCH(QString, field);

    QStringList texts;
    bool menuFont = false;
    const auto readMenu = [&texts, &menuFont](QLineEdit* edit) {
        QContextMenuEvent request(QContextMenuEvent::Keyboard, edit->rect().center(),
                                  edit->mapToGlobal(edit->rect().center()));
        QApplication::sendEvent(edit, &request);
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) != nullptr);
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator()) {
                // Without the shortcut that follows a tab.
                texts << action->text().section(u'\t', 0, 0);
            }
        }
        menuFont = menu->font() == QApplication::font(menu);
        menu->close();
    };
    if (field == u"StrLength"_s) {
        readMenu(Main<QLineEdit>(field));
    } else {
        WithDialog([&](OptWin& dialog) {
            ClickIn(dialog, u"Switch3"_s);
            readMenu(In<QLineEdit>(dialog, field));
        });
    }
    // Qt's own Japanese translation, whatever the system's locale.
    QCOMPARE(texts,
             (QStringList{u"元に戻す(&U)"_s, u"やり直す(&R)"_s, u"切り取り(&T)"_s, u"コピー(&C)"_s,
                          u"貼り付け(&P)"_s, u"削除"_s, u"すべてを選択"_s}));
    QVERIFY2(menuFont, "the menu does not use the desktop's menu font");
}

void MainWindowTest::accessKeyActsBeforeTheNextKey_data()
{
    QTest::addColumn<bool>("inDialog");
    QTest::addColumn<int>("accessKey");
    QTest::addColumn<int>("nextKey");
    QTest::addColumn<int>("nextModifiers");

    QTest::newRow("Alt+W then Enter at once generates letters")
        << false << int(Qt::Key_W) << int(Qt::Key_Return) << int(Qt::NoModifier);
    QTest::newRow("Alt+W then Alt+C at once generates letters")
        << false << int(Qt::Key_W) << int(Qt::Key_C) << int(Qt::AltModifier);
    QTest::newRow("range with empty fields, Alt+2 then Enter closes without the range message")
        << true << int(Qt::Key_2) << int(Qt::Key_Return) << int(Qt::NoModifier);
}

void MainWindowTest::accessKeyActsBeforeTheNextKey()
{
    QFETCH(bool, inDialog);
    QFETCH(int, accessKey);
    QFETCH(int, nextKey);
    QFETCH(int, nextModifiers);

    // Both keys in a row with no event processed in between, as a fast typist's arrive.
    const auto typeBoth = [&] {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(accessKey), Qt::AltModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(nextKey),
                        Qt::KeyboardModifiers(nextModifiers));
    };
    if (!inDialog) {
        typeBoth();
        const QStringList calls = Texts(m_fakes->calls);
        QCOMPARE(calls.size(), 1);
        QVERIFY2(QRegularExpression(u"^set:[A-Za-z]{8}$"_s).match(calls[0]).hasMatch(),
                 qPrintable(calls[0]));
        return;
    }
    bool closed = false;
    WithDialog([&](OptWin& dialog) {
        // Keys go to the active window; offscreen does not activate a dialog by itself.
        dialog.activateWindow();
        QTRY_VERIFY(dialog.isActiveWindow());
        ClickIn(dialog, u"Switch3"_s);
        typeBoth();
        closed = !dialog.isVisible();
    });
    QVERIFY(closed);
    QCOMPARE(Texts(m_fakes->runtime.messages), QStringList{});
    QCOMPARE(int(m_main->Settings().SwitchMode), int(PositionMode::Last));
}

void MainWindowTest::exitClearsOnlyAfterAPassword_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<QString>("lengthBefore");
    QTest::addColumn<int>("busyClears");
    QTest::addColumn<QStringList>("calls");

    const QStringList cleared{u"clear"_s, u"end"_s};
    const QStringList untouched{u"end"_s};
    const QStringList told{u"clear"_s, u"msgbox"_s, u"clear"_s, u"end"_s};
    QTest::newRow("Exit right after start leaves the clipboard alone")
        << false << QString() << 0 << untouched;
    QTest::newRow("Exit after a password clears the clipboard") << false << u"8"_s << 0 << cleared;
    QTest::newRow("Exit after a refused Generate leaves it alone")
        << false << u"0"_s << 0 << untouched;
    QTest::newRow("the close box right after start leaves it alone")
        << true << QString() << 0 << untouched;
    QTest::newRow("the close box after a password clears it") << true << u"8"_s << 0 << cleared;
    QTest::newRow("Exit with the clipboard kept busy says so and tries once more")
        << false << u"8"_s << 1 << told;
    QTest::newRow("the close box with the clipboard kept busy says so too")
        << true << u"8"_s << 2 << told;
}

void MainWindowTest::exitClearsOnlyAfterAPassword()
{
    QFETCH(bool, closeBox);
    QFETCH(QString, lengthBefore);
    QFETCH(int, busyClears);
    QFETCH(QStringList, calls);

    if (!lengthBefore.isEmpty()) {
        Generate(lengthBefore);
    }
    m_fakes->calls.clear();
    m_fakes->runtime.messages.clear();
    m_fakes->runtime.keepBusy = busyClears;
    const QString shown = Main<QLabel>(u"PassWord"_s)->text();

    if (closeBox) {
        QVERIFY(m_main->close());
        QVERIFY(!m_main->isVisible());
    } else {
        Click(u"Command2"_s);
    }
    QCOMPARE(Texts(m_fakes->calls), calls);
    const QStringList messages =
        busyClears > 0 ? QStringList{u"クリップボードを消去できませんでした。"_s} : QStringList{};
    QCOMPARE(Texts(m_fakes->runtime.messages), messages);
    // Nothing of the password stays in the window's memory once it ends.
    QCOMPARE(shown, QString(shown.size(), QChar()));
}

void MainWindowTest::optionsDialogIsMadeOnceAndKept()
{
    QVERIFY(m_main->OptionsDialog() == nullptr);
    QVERIFY(!ReportedModal(m_main.get()));
    bool wasModal = false;
    WithDialog([&](OptWin& dialog) {
        wasModal = dialog.isModal() && QApplication::activeModalWidget() == &dialog &&
                   ReportedModal(&dialog) && !ReportedModal(m_main.get());
        QCOMPARE(dialog.parentWidget(), m_main.get());
    });
    QVERIFY(wasModal);
    OptWin* first = m_main->OptionsDialog();
    WithDialog([](OptWin&) {});
    QCOMPARE(m_main->OptionsDialog(), first);
}

void MainWindowTest::cancelTurnsSpecialPositionsOff()
{
    WithDialog([](OptWin& dialog) {
        ClickIn(dialog, u"Switch1"_s);
        ClickIn(dialog, u"Type1"_s);
        ClickIn(dialog, u"Opt2"_s);
        ClickIn(dialog, u"Command2"_s);
    });
    GenerationSettings expected;
    expected.SpecialType = CharClass::Letters;
    expected.SpecialOpt = CaseOpt::UpperOnly;
    QCOMPARE(m_main->Settings(), expected);

    bool offShownAlone = false;
    WithDialog([&](OptWin& dialog) {
        offShownAlone = In<QRadioButton>(dialog, u"Switch0"_s)->isChecked() &&
                        In<QRadioButton>(dialog, u"Type1"_s)->isChecked() &&
                        In<QRadioButton>(dialog, u"Opt2"_s)->isChecked() &&
                        !In(dialog, u"Frame2"_s)->isVisible() &&
                        !In(dialog, u"Frame1"_s)->isVisible();
    });
    QVERIFY(offShownAlone);
}

void MainWindowTest::dialogKeepsItsStateAndPlace()
{
    QPoint firstCentre;
    QPoint movedTo;
    WithDialog([&](OptWin& dialog) {
        firstCentre = dialog.geometry().center();
        ClickIn(dialog, u"Switch3"_s);
        In<QLineEdit>(dialog, u"SPos"_s)->setText(u"3"_s);
        In<QLineEdit>(dialog, u"EPos"_s)->setText(u"5"_s);
        ClickIn(dialog, u"Type2"_s);
        ClickIn(dialog, u"Opt1"_s);
        // As a window manager moves it: through the native window, not QWidget::move().
        dialog.windowHandle()->setFramePosition(dialog.pos() + QPoint(40, 30));
        QTRY_COMPARE(dialog.pos(), dialog.windowHandle()->framePosition());
        movedTo = dialog.pos();
        ClickIn(dialog, u"Command1"_s);
    });
    // Centred on the main window the first time (Qt leaves room for a title bar).
    QVERIFY((firstCentre - m_main->geometry().center()).manhattanLength() <= 50);
    QCOMPARE(m_main->Settings(),
             (GenerationSettings{CharClass::Digits, CaseOpt::All, PositionMode::Range,
                                 CharClass::Alphanumeric, CaseOpt::LowerOnly, 3, 5}));

    bool kept = false;
    QPoint reopenedAt;
    WithDialog([&](OptWin& dialog) {
        reopenedAt = dialog.pos();
        kept = In<QRadioButton>(dialog, u"Switch3"_s)->isChecked() &&
               In<QLineEdit>(dialog, u"SPos"_s)->isVisible() &&
               In<QLineEdit>(dialog, u"SPos"_s)->text() == u"3"_s &&
               In<QLineEdit>(dialog, u"EPos"_s)->text() == u"5"_s &&
               In(dialog, u"Frame1"_s)->isVisible() &&
               In<QRadioButton>(dialog, u"Opt1"_s)->isChecked();
        ClickIn(dialog, u"Command1"_s);
    });
    QVERIFY(kept);
    QCOMPARE(reopenedAt, movedTo);
}

void MainWindowTest::closingTheDialogActsAsCancel()
{
    WithDialog([](OptWin& dialog) {
        ClickIn(dialog, u"Switch3"_s);
        In<QLineEdit>(dialog, u"SPos"_s)->setText(u"2"_s);
        In<QLineEdit>(dialog, u"EPos"_s)->setText(u"4"_s);
        dialog.close();
    });
    // No range was stored and the mode is off again, in the settings and on screen.
    QCOMPARE(m_main->Settings(), GenerationSettings{});
    const OptWin& dialog = *m_main->OptionsDialog();
    QVERIFY(In<QRadioButton>(dialog, u"Switch0"_s)->isChecked());
    QVERIFY(In(dialog, u"SPos"_s)->isHidden());
    QCOMPARE(In<QLineEdit>(dialog, u"SPos"_s)->text(), u"2"_s);
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
