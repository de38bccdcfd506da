// The main window's handlers and keyboard against a fake runtime: class and case choice,
// Generate refused and accepted, the clipboard rule at exit, and the options dialog's life
// as seen from the main window.

#include "runtime/qt_translation.h"
#include "tests/support/window_support.h"
#include "windows/MainWin.h"
#include "windows/OptWin.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QRegularExpression>
#include <QTranslator>
#include <QWindow>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using namespace cipherloom;
using namespace cipherloom::testing;

Q_DECLARE_METATYPE(cipherloom::GenerationSettings)

class MainWindowTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void classAndCaseClicks_data();
    void classAndCaseClicks();
    void generate_data();
    void generate();
    void passwordIsShownLiterallyAndWipedWhenReplaced();
    void keyboard_data();
    void keyboard();
    void generateStaysTheDefaultButton_data();
    void generateStaysTheDefaultButton();
    void numberFieldMenusAreJapanese_data();
    void numberFieldMenusAreJapanese();
    void exitClearsOnlyAfterAPassword_data();
    void exitClearsOnlyAfterAPassword();
    void optionsDialogClosedAndOpenedAgain_data();
    void optionsDialogClosedAndOpenedAgain();

private:
    template <typename T = QWidget>
    T* Main(const QString& name) const
    {
        return Control<T>(*m_main, name);
    }
    void Generate(const QString& lengthText) const
    {
        Play(*m_main, {u"StrLength="_s + lengthText, u"Command1"_s});
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
        Play(*m_main, {u"Command3"_s});
        QVERIFY(m_main->OptionsDialog() != nullptr);
        QVERIFY(!m_main->OptionsDialog()->isVisible());
    }

    QTranslator m_qtTranslation;
    std::unique_ptr<WindowFakes> m_fakes;
    std::unique_ptr<MainWin> m_main;
};

// What a screen reader is told; it keeps to a modal window until that closes.
static bool ReportedModal(QWidget* window)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(window);
    return accessible != nullptr && accessible->state().modal;
}

void MainWindowTest::initTestCase()
{
    // What the program's runtime installs at start.
    QVERIFY(InstallQtTranslation(m_qtTranslation));
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
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<int>("mainType");
    QTest::addColumn<int>("mainOpt");
    QTest::addColumn<bool>("caseFrameShown");

    QTest::newRow("letters show the case frame") << u"Type1"_s << 1 << 0 << true;
    QTest::newRow("alphanumerics show it too") << u"Type2"_s << 2 << 0 << true;
    QTest::newRow("symbols with uppercase only") << u"Type3 Opt2"_s << 3 << 2 << true;
    QTest::newRow("digits hide the frame again") << u"Type1 Type0"_s << 0 << 0 << false;
    QTest::newRow("a case chosen before survives hiding the frame")
        << u"Type1 Opt1 Type0 Type2"_s << 2 << 1 << true;
}

void MainWindowTest::classAndCaseClicks()
{
    QFETCH(QString, clicks);
    QFETCH(int, mainType);
    QFETCH(int, mainOpt);
    QFETCH(bool, caseFrameShown);

    Play(*m_main, Steps(clicks));
    QCOMPARE(int(m_main->Settings().MainType), mainType);
    QCOMPARE(int(m_main->Settings().MainOpt), mainOpt);
    QCOMPARE(Main(u"Frame1"_s)->isVisible(), caseFrameShown);
    QCOMPARE(Checked(*m_main), (QStringList{u"Type%1"_s.arg(mainType), u"Opt%1"_s.arg(mainOpt)}));
}

void MainWindowTest::generate_data()
{
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("shown");

    // A refused Generate follows one of 4, whose password stays.
    QTest::newRow("the initial 8 gives eight characters") << u"8"_s << QString() << u"01234567"_s;
    QTest::newRow("full-width digits from an input method count")
        << u"１２"_s << QString() << u"012345678901"_s;
    QTest::newRow("an empty field asks for the length")
        << QString() << u"文字数を入力してください。"_s << u"0123"_s;
    QTest::newRow("a space is not a number")
        << u" "_s << u"文字数は数値を入力してください。"_s << u"0123"_s;
    QTest::newRow("33 is too long")
        << u"33"_s << u"文字数は1～32の値を入力してください。"_s << u"0123"_s;
}

void MainWindowTest::generate()
{
    QFETCH(QString, length);
    QFETCH(QString, message);
    QFETCH(QString, shown);

    if (!message.isEmpty()) {
        Generate(u"4"_s);
        m_fakes->Forget();
    }
    Generate(length);
    QCOMPARE(m_fakes->Messages(), message.isEmpty() ? QStringList{} : QStringList{message});
    QCOMPARE(m_fakes->Calls(), QStringList{message.isEmpty() ? u"set:"_s + shown : u"msgbox"_s});
    QCOMPARE(Main<QLabel>(u"PassWord"_s)->text(), shown);
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
    QTest::addColumn<QKeySequence>("keys");  // each to whatever has the focus by then
    QTest::addColumn<QString>("calls");      // a pattern for them all, joined by spaces
    QTest::addColumn<QString>("focusAfter"); // empty: not checked

    const QKeySequence enter(Qt::Key_Return);
    const QString generated = u"set:01234567"_s;
    QTest::newRow("Enter in the length field generates")
        << u"StrLength"_s << enter << generated << u"StrLength"_s;
    QTest::newRow("keypad Enter on an option button generates")
        << u"Type0"_s << QKeySequence(Qt::KeypadModifier | Qt::Key_Enter) << generated
        << u"Type0"_s;
    QTest::newRow("Enter on the Generate button generates once")
        << u"Command1"_s << enter << generated << u"Command1"_s;
    QTest::newRow("Enter on the Exit button exits instead")
        << u"Command2"_s << enter << u"end"_s << u"Command2"_s;
    QTest::newRow("Esc does nothing")
        << u"StrLength"_s << QKeySequence(Qt::Key_Escape) << QString() << u"StrLength"_s;
    QTest::newRow("Alt+L puts the caret into the length field")
        << u"Command1"_s << QKeySequence(Qt::ALT | Qt::Key_L) << QString() << u"StrLength"_s;
    QTest::newRow("Alt+W chooses letters")
        << u"StrLength"_s << QKeySequence(Qt::ALT | Qt::Key_W) << QString() << u"Type1"_s;
    // Both keys in a row with no event processed in between, as a fast typist's arrive.
    QTest::newRow("Alt+W then Enter at once generates letters")
        << u"StrLength"_s << QKeySequence(Qt::ALT | Qt::Key_W, QKeyCombination(Qt::Key_Return))
        << u"set:[A-Za-z]{8}"_s << u"Type1"_s;
    QTest::newRow("Alt+W then Alt+C at once generates letters")
        << u"StrLength"_s << QKeySequence(Qt::ALT | Qt::Key_W, Qt::ALT | Qt::Key_C)
        << u"set:[A-Za-z]{8}"_s << QString();
}

void MainWindowTest::keyboard()
{
    QFETCH(QString, focus);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, calls);
    QFETCH(QString, focusAfter);

    Main(focus)->setFocus();
    QCOMPARE(QApplication::focusWidget(), Main(focus));
    Press(keys);
    const QString made = m_fakes->Calls().join(u' ');
    QVERIFY2(QRegularExpression(u"^%1$"_s.arg(calls)).match(made).hasMatch(), qPrintable(made));
    QVERIFY(m_main->isVisible());
    if (!focusAfter.isEmpty()) {
        QCOMPARE(QApplication::focusWidget(), Main(focusAfter));
    }
    if (focusAfter.startsWith(u"Type"_s)) {
        QTRY_VERIFY(Main<QRadioButton>(focusAfter)->isChecked());
        QCOMPARE(int(m_main->Settings().MainType), focusAfter.back().digitValue());
    }
}

void MainWindowTest::generateStaysTheDefaultButton_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("defaultButton");

    QTest::newRow("at start") << QString() << u"Command1"_s;
    QTest::newRow("another push button with the focus takes it")
        << u"focus:Command3"_s << u"Command3"_s;
    QTest::newRow("tabbing through every control, then a click into the length field")
        << u"key:Tab "_s.repeated(16) + u"StrLength"_s << u"Command1"_s;
    QTest::newRow("Generate clicked, then Alt+L back into the length field")
        << u"Command1 key:Alt+L"_s << u"Command1"_s;
    QTest::newRow("the options dialog opened with its access key and closed")
        << u"key:Alt+O"_s << u"Command1"_s;
}

void MainWindowTest::generateStaysTheDefaultButton()
{
    QFETCH(QString, steps);
    QFETCH(QString, defaultButton);

    const bool options = steps.contains(u"key:Alt+O"_s);
    if (options) {
        OnNextModal([](QWidget* dialog) { dialog->close(); });
    }
    Play(*m_main, Steps(steps));
    QCOMPARE(m_main->OptionsDialog() != nullptr && !m_main->OptionsDialog()->isVisible(), options);
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
                texts << action->text().section(u'\t', 0, 0); // without the shortcut
            }
        }
        menuFont = menu->font() == QApplication::font(menu);
        menu->close();
    };
    if (field == u"StrLength"_s) {
        readMenu(Main<QLineEdit>(field));
    } else {
        WithDialog([&](OptWin& dialog) {
            Play(dialog, {u"Switch3"_s});
            readMenu(Control<QLineEdit>(dialog, field));
        });
    }
    // Qt's own Japanese translation, whatever the system's locale.
    QCOMPARE(texts,
             (QStringList{u"元に戻す(&U)"_s, u"やり直す(&R)"_s, u"切り取り(&T)"_s, u"コピー(&C)"_s,
                          u"貼り付け(&P)"_s, u"削除"_s, u"すべてを選択"_s}));
    QVERIFY2(menuFont, "the menu does not use the desktop's menu font");
}

void MainWindowTest::exitClearsOnlyAfterAPassword_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::addColumn<QString>("lengthBefore");
    QTest::addColumn<int>("busyClears");
    QTest::addColumn<QString>("calls");

    QTest::newRow("Exit right after start leaves the clipboard alone")
        << false << QString() << 0 << u"end"_s;
    QTest::newRow("Exit after a password clears the clipboard")
        << false << u"8"_s << 0 << u"clear end"_s;
    QTest::newRow("Exit after a refused Generate leaves it alone")
        << false << u"0"_s << 0 << u"end"_s;
    QTest::newRow("the close box right after start leaves it alone")
        << true << QString() << 0 << u"end"_s;
    QTest::newRow("the close box after a password clears it")
        << true << u"8"_s << 0 << u"clear end"_s;
    QTest::newRow("Exit with the clipboard kept busy says so and tries once more")
        << false << u"8"_s << 1 << u"clear msgbox clear end"_s;
    QTest::newRow("the close box with the clipboard kept busy says so too")
        << true << u"8"_s << 2 << u"clear msgbox clear end"_s;
}

void MainWindowTest::exitClearsOnlyAfterAPassword()
{
    QFETCH(bool, closeBox);
    QFETCH(QString, lengthBefore);
    QFETCH(int, busyClears);
    QFETCH(QString, calls);

    if (!lengthBefore.isEmpty()) {
        Generate(lengthBefore);
    }
    m_fakes->Forget();
    m_fakes->runtime.keepBusy = busyClears;
    const QString shown = Main<QLabel>(u"PassWord"_s)->text();

    if (closeBox) {
        QVERIFY(m_main->close());
        QVERIFY(!m_main->isVisible());
    } else {
        Play(*m_main, {u"Command2"_s});
    }
    QCOMPARE(m_fakes->Calls().join(u' '), calls);
    const QStringList messages =
        busyClears > 0 ? QStringList{u"クリップボードを消去できませんでした。"_s} : QStringList{};
    QCOMPARE(m_fakes->Messages(), messages);
    // Nothing of the password stays in the window's memory once it ends.
    QCOMPARE(shown, QString(shown.size(), QChar()));
}

void MainWindowTest::optionsDialogClosedAndOpenedAgain_data()
{
    QTest::addColumn<QString>("steps"); // in the dialog; the last one closes it, with no message
    QTest::addColumn<GenerationSettings>("settings");
    QTest::addColumn<QString>("checked"); // after closing and when opened again
    QTest::addColumn<QString>("range");   // the fields' texts, likewise
    QTest::addColumn<QString>("shown");   // the parts in kRangeParts, when opened again

    const GenerationSettings letters{.SpecialType = CharClass::Letters,
                                     .SpecialOpt = CaseOpt::UpperOnly};
    const GenerationSettings range{.SwitchMode = PositionMode::Range,
                                   .SpecialType = CharClass::Alphanumeric,
                                   .SpecialOpt = CaseOpt::LowerOnly,
                                   .RangeStart = 3,
                                   .RangeEnd = 5};
    QTest::newRow("Cancel turns special positions off and keeps their class and case")
        << u"Switch1 Type1 Opt2 Command2"_s << letters << u"Switch0 Type1 Opt2"_s << u"～"_s
        << u"00000"_s;
    QTest::newRow("the close box acts as Cancel and stores no range")
        << u"Switch3 SPos=2 EPos=4 close"_s << GenerationSettings{} << u"Switch0 Type0 Opt0"_s
        << u"2～4"_s << u"00000"_s;
    // Both keys in a row with no event processed in between, as a fast typist's arrive.
    QTest::newRow("range with empty fields, Alt+2 then Enter at once is OK for the last position")
        << u"Switch3 key:Alt+2 key:Return"_s << GenerationSettings{.SwitchMode = PositionMode::Last}
        << u"Switch2 Type0 Opt0"_s << u"～"_s << u"00010"_s;
    QTest::newRow("OK keeps the range, class and case, and the place the dialog was moved to")
        << u"Switch3 SPos=3 EPos=5 Type2 Opt1 move Command1"_s << range << u"Switch3 Type2 Opt1"_s
        << u"3～5"_s << u"11111"_s;
}

void MainWindowTest::optionsDialogClosedAndOpenedAgain()
{
    QFETCH(QString, steps);
    QFETCH(GenerationSettings, settings);
    QFETCH(QString, checked);
    QFETCH(QString, range);
    QFETCH(QString, shown);
    const auto rangeText = [](const OptWin& dialog) {
        return Control<QLineEdit>(dialog, u"SPos"_s)->text() + u'～' +
               Control<QLineEdit>(dialog, u"EPos"_s)->text();
    };

    QVERIFY(m_main->OptionsDialog() == nullptr);
    QVERIFY(!ReportedModal(m_main.get()));
    QPoint firstCentre;
    QPoint leftAt;
    WithDialog([&](OptWin& dialog) {
        // Keys go to the active window; offscreen does not activate a dialog by itself.
        dialog.activateWindow();
        QTRY_VERIFY(dialog.isActiveWindow());
        QVERIFY(dialog.isModal());
        QCOMPARE(QApplication::activeModalWidget(), &dialog);
        QVERIFY(ReportedModal(&dialog) && !ReportedModal(m_main.get()));
        QCOMPARE(dialog.parentWidget(), m_main.get());
        firstCentre = dialog.geometry().center();
        for (const QString& step : Steps(steps)) {
            if (step == u"move"_s) {
                // As a window manager moves it: through the native window, not QWidget::move().
                dialog.windowHandle()->setFramePosition(dialog.pos() + QPoint(40, 30));
                QTRY_COMPARE(dialog.pos(), dialog.windowHandle()->framePosition());
            }
            leftAt = dialog.pos();
            if (step == u"close"_s) {
                dialog.close();
            } else if (step != u"move"_s) {
                Play(dialog, {step});
            }
        }
        QVERIFY(!dialog.isVisible());
    });
    QCOMPARE(m_fakes->Messages(), QStringList{});
    // Centred on the main window the first time (Qt leaves room for a title bar).
    QVERIFY((firstCentre - m_main->geometry().center()).manhattanLength() <= 50);
    QCOMPARE(m_main->Settings(), settings);
    OptWin* first = m_main->OptionsDialog();
    QCOMPARE(Checked(*first).join(u' '), checked);
    QCOMPARE(rangeText(*first), range);
    QCOMPARE(Control(*first, u"SPos"_s)->isHidden(), shown.startsWith(u'0'));

    WithDialog([&](OptWin& dialog) {
        QCOMPARE(dialog.pos(), leftAt);
        QCOMPARE(Checked(dialog).join(u' '), checked);
        QCOMPARE(rangeText(dialog), range);
        QCOMPARE(Shown(dialog, kRangeParts), shown);
    });
    QCOMPARE(m_main->OptionsDialog(), first);
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
