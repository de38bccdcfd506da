// The options dialog on its own, shown without a nested loop: option clicks against the
// settings and what is shown, the range check of OK step by step, Enter and Esc.

#include "tests/support/window_support.h"
#include "windows/OptWin.h"

#include <memory>

using namespace Qt::StringLiterals;
using namespace cipherloom;
using namespace cipherloom::testing;

const QString kMissing = u"範囲が指定されていません。"_s;
const QString kInvalid = u"範囲指定が正しくありません。"_s;

class OptionsDialogTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void clicksSetModeAndParts_data();
    void clicksSetModeAndParts();
    void rangeCheckOnOk_data();
    void rangeCheckOnOk();
    void okOutsideRangeModeIgnoresTheFields_data();
    void okOutsideRangeModeIgnoresTheFields();
    void keysAndCloseBox_data();
    void keysAndCloseBox();
    void okStaysTheDefaultButton_data();
    void okStaysTheDefaultButton();

private:
    WindowFakes m_fakes;
    GenerationSettings m_settings;
    std::unique_ptr<QWidget> m_owner;
    OptWin* m_dialog = nullptr;
};

void OptionsDialogTest::init()
{
    m_settings = GenerationSettings{};
    m_fakes.Forget();
    m_owner = std::make_unique<QWidget>();
    m_dialog = new OptWin(m_settings, m_fakes.runtime, m_owner.get());
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog));
}

void OptionsDialogTest::cleanup()
{
    m_owner.reset();
}

void OptionsDialogTest::clicksSetModeAndParts_data()
{
    QTest::addColumn<QString>("clicks");
    QTest::addColumn<int>("switchMode");
    QTest::addColumn<int>("specialType");
    QTest::addColumn<int>("specialOpt");
    QTest::addColumn<QString>("shown"); // the parts in kRangeParts

    QTest::newRow("off at start shows nothing") << QString() << 0 << 0 << 0 << u"00000"_s;
    QTest::newRow("first shows the class frame") << u"Switch1"_s << 1 << 0 << 0 << u"00010"_s;
    QTest::newRow("last with letters adds the case frame")
        << u"Switch2 Type1"_s << 2 << 1 << 0 << u"00011"_s;
    QTest::newRow("range shows the fields and the tilde")
        << u"Switch3"_s << 3 << 0 << 0 << u"11110"_s;
    QTest::newRow("digits hide the case frame and keep the case")
        << u"Switch1 Type2 Opt2 Type0"_s << 1 << 0 << 2 << u"00010"_s;
    QTest::newRow("letters and digits show the case frame")
        << u"Switch1 Type2"_s << 1 << 2 << 0 << u"00011"_s;
    QTest::newRow("letters, digits and symbols show the case frame")
        << u"Switch3 Type3"_s << 3 << 3 << 0 << u"11111"_s;
    QTest::newRow("symbols, off, then last shows the case frame again")
        << u"Switch1 Type3 Switch0 Switch2"_s << 2 << 3 << 0 << u"00011"_s;
    QTest::newRow("off hides everything range showed")
        << u"Switch3 Type1 Opt1 Switch0"_s << 0 << 1 << 1 << u"00000"_s;
}

void OptionsDialogTest::clicksSetModeAndParts()
{
    QFETCH(QString, clicks);
    QFETCH(int, switchMode);
    QFETCH(int, specialType);
    QFETCH(int, specialOpt);
    QFETCH(QString, shown);

    Play(*m_dialog, Steps(clicks));
    QCOMPARE(int(m_settings.SwitchMode), switchMode);
    QCOMPARE(int(m_settings.SpecialType), specialType);
    QCOMPARE(int(m_settings.SpecialOpt), specialOpt);
    QCOMPARE(Shown(*m_dialog, kRangeParts), shown);
    QVERIFY(m_dialog->isVisible());
}

void OptionsDialogTest::rangeCheckOnOk_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("rangeStart");
    QTest::addColumn<int>("rangeEnd");

    // A refused OK keeps the range stored before, here 9..9.
    QTest::newRow("both empty asks for a range at the start")
        << QString() << QString() << kMissing << u"SPos"_s << 9 << 9;
    QTest::newRow("an empty end asks for it there")
        << u"3"_s << QString() << kMissing << u"EPos"_s << 9 << 9;
    QTest::newRow("a start that is no number")
        << u"a"_s << u"5"_s << kInvalid << u"SPos"_s << 9 << 9;
    QTest::newRow("an end that is no number")
        << u"3"_s << u"1e"_s << kInvalid << u"EPos"_s << 9 << 9;
    QTest::newRow("a start below 1") << u"0"_s << u"3"_s << kInvalid << u"SPos"_s << 9 << 9;
    QTest::newRow("an end above 32") << u"3"_s << u"33"_s << kInvalid << u"EPos"_s << 9 << 9;
    QTest::newRow("an end before the start") << u"7"_s << u"6"_s << kInvalid << u"SPos"_s << 9 << 9;
    QTest::newRow("a range of one position")
        << u"5"_s << u"5"_s << QString() << QString() << 5 << 5;
    QTest::newRow("full-width digits") << u"３"_s << u"１２"_s << QString() << QString() << 3 << 12;
}

void OptionsDialogTest::rangeCheckOnOk()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(int, rangeStart);
    QFETCH(int, rangeEnd);

    m_settings.RangeStart = 9;
    m_settings.RangeEnd = 9;
    Play(*m_dialog, {u"Switch3"_s, u"SPos="_s + start, u"EPos="_s + end, u"Command1"_s});

    QCOMPARE(int(m_settings.RangeStart), rangeStart);
    QCOMPARE(int(m_settings.RangeEnd), rangeEnd);
    QCOMPARE(int(m_settings.SwitchMode), 3);
    QCOMPARE(m_fakes.Messages(), message.isEmpty() ? QStringList{} : QStringList{message});
    QCOMPARE(m_dialog->isVisible(), !message.isEmpty());
    if (message.isEmpty()) {
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    } else {
        QCOMPARE(QApplication::focusWidget(), Control(*m_dialog, focus));
        QCOMPARE(Control<QLineEdit>(*m_dialog, u"SPos"_s)->text(), start);
    }
}

void OptionsDialogTest::okOutsideRangeModeIgnoresTheFields_data()
{
    QTest::addColumn<int>("mode");

    QTest::newRow("off") << 0;
    QTest::newRow("first") << 1;
    QTest::newRow("last") << 2;
}

// OK keeps the mode chosen, also when the dialog is opened again.
void OptionsDialogTest::okOutsideRangeModeIgnoresTheFields()
{
    QFETCH(int, mode);

    // Left over from range mode: text that would fail the check.
    const QString modeButton = u"Switch%1"_s.arg(mode);
    Play(*m_dialog, {u"Switch3"_s, u"Type1"_s, u"SPos=x"_s, modeButton, u"Command1"_s});
    QVERIFY(m_fakes.runtime.messages.empty());
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    QCOMPARE(int(m_settings.RangeStart), 0);
    QCOMPARE(int(m_settings.SwitchMode), mode);

    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
    QVERIFY(Checked(*m_dialog).contains(modeButton));
    QCOMPARE(int(m_settings.SwitchMode), mode);
    QCOMPARE(Shown(*m_dialog, kRangeParts), mode == 0 ? u"00000"_s : u"00011"_s);
}

void OptionsDialogTest::keysAndCloseBox_data()
{
    QTest::addColumn<QKeySequence>("key"); // none: the close box
    QTest::addColumn<int>("switchMode");
    QTest::addColumn<int>("rangeStart");

    QTest::newRow("Enter in a range field is OK") << QKeySequence(Qt::Key_Return) << 3 << 2;
    QTest::newRow("keypad Enter is OK too")
        << QKeySequence(Qt::KeypadModifier | Qt::Key_Enter) << 3 << 2;
    QTest::newRow("Esc is Cancel") << QKeySequence(Qt::Key_Escape) << 0 << 0;
    QTest::newRow("the close box is Cancel") << QKeySequence() << 0 << 0;
}

void OptionsDialogTest::keysAndCloseBox()
{
    QFETCH(QKeySequence, key);
    QFETCH(int, switchMode);
    QFETCH(int, rangeStart);

    Play(*m_dialog, {u"Switch3"_s, u"Type1"_s, u"SPos=2"_s, u"EPos=4"_s, u"focus:SPos"_s});
    if (key.isEmpty()) {
        QVERIFY(m_dialog->close());
    } else {
        Press(key);
    }

    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(int(m_settings.SwitchMode), switchMode);
    QCOMPARE(int(m_settings.RangeStart), rangeStart);
    // Cancel keeps the class and the texts, but shows the mode it set.
    QCOMPARE(int(m_settings.SpecialType), 1);
    QCOMPARE(Control<QLineEdit>(*m_dialog, u"SPos"_s)->text(), u"2"_s);
    QCOMPARE(Checked(*m_dialog),
             (QStringList{u"Switch%1"_s.arg(switchMode), u"Type1"_s, u"Opt0"_s}));
    QCOMPARE(Control(*m_dialog, u"SPos"_s)->isHidden(), switchMode == 0);
    QCOMPARE(Control(*m_dialog, u"Frame2"_s)->isHidden(), switchMode == 0);
}

void OptionsDialogTest::okStaysTheDefaultButton_data()
{
    QTest::addColumn<QString>("steps"); // after range mode is chosen
    QTest::addColumn<QString>("defaultButton");

    QTest::newRow("at start") << QString() << u"Command1"_s;
    QTest::newRow("Cancel with the focus takes it") << u"focus:Command2"_s << u"Command2"_s;
    QTest::newRow("tabbing through every control, then a click into a range field")
        << u"focus:Switch3 "_s + u"key:Tab "_s.repeated(24) + u"EPos"_s << u"Command1"_s;
}

void OptionsDialogTest::okStaysTheDefaultButton()
{
    QFETCH(QString, steps);
    QFETCH(QString, defaultButton);

    Play(*m_dialog, Steps(u"Switch3 "_s + steps));
    QCOMPARE(DefaultButtons(*m_dialog), QStringList{defaultButton});
}

QTEST_MAIN(OptionsDialogTest)
#include "tst_options_dialog.moc"
