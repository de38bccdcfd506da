// The options dialog on its own, shown without a nested loop: option clicks against the
// settings and what is shown, the range check of OK step by step, Enter and Esc.

#include "tests/support/window_support.h"
#include "windows/OptWin.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using cipherloom::GenerationSettings;
using cipherloom::OptWin;
using cipherloom::testing::Control;
using cipherloom::testing::DefaultButtons;
using cipherloom::testing::Texts;
using cipherloom::testing::WindowFakes;

namespace {

const QString kMissing = u"範囲が指定されていません。"_s;
const QString kInvalid = u"範囲指定が正しくありません。"_s;

} // namespace

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
    template <typename T = QWidget>
    T* Get(const QString& name) const
    {
        return Control<T>(*m_dialog, name);
    }
    void Click(const QString& name) const
    {
        QTest::mouseClick(Get<QAbstractButton>(name), Qt::LeftButton);
    }
    QString Shown() const
    {
        QString shown;
        for (const QString& name : {u"SPos"_s, u"Label1"_s, u"EPos"_s, u"Frame2"_s, u"Frame1"_s}) {
            shown += Get(name)->isVisible() ? u'1' : u'0';
        }
        return shown;
    }

    WindowFakes m_fakes;
    GenerationSettings m_settings;
    std::unique_ptr<QWidget> m_owner;
    OptWin* m_dialog = nullptr;
};

void OptionsDialogTest::init()
{
    m_settings = GenerationSettings{};
    m_fakes.runtime.messages.clear();
    m_fakes.calls.clear();
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
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("switchMode");
    QTest::addColumn<int>("specialType");
    QTest::addColumn<int>("specialOpt");
    // Shown or hidden, in this order: SPos, Label1, EPos, Frame2 (class), Frame1 (case).
    QTest::addColumn<QString>("shown");

    QTest::newRow("off at start shows nothing") << QStringList{} << 0 << 0 << 0 << u"00000"_s;
    QTest::newRow("first shows the class frame")
        << QStringList{u"Switch1"_s} << 1 << 0 << 0 << u"00010"_s;
    QTest::newRow("last with letters adds the case frame")
        << QStringList{u"Switch2"_s, u"Type1"_s} << 2 << 1 << 0 << u"00011"_s;
    QTest::newRow("range shows the fields and the tilde")
        << QStringList{u"Switch3"_s} << 3 << 0 << 0 << u"11110"_s;
    QTest::newRow("digits hide the case frame and keep the case")
        << QStringList{u"Switch1"_s, u"Type2"_s, u"Opt2"_s, u"Type0"_s} << 1 << 0 << 2
        << u"00010"_s;
    QTest::newRow("letters and digits show the case frame")
        << QStringList{u"Switch1"_s, u"Type2"_s} << 1 << 2 << 0 << u"00011"_s;
    QTest::newRow("letters, digits and symbols show the case frame")
        << QStringList{u"Switch3"_s, u"Type3"_s} << 3 << 3 << 0 << u"11111"_s;
    QTest::newRow("symbols, off, then last shows the case frame again")
        << QStringList{u"Switch1"_s, u"Type3"_s, u"Switch0"_s, u"Switch2"_s} << 2 << 3 << 0
        << u"00011"_s;
    QTest::newRow("off hides everything range showed")
        << QStringList{u"Switch3"_s, u"Type1"_s, u"Opt1"_s, u"Switch0"_s} << 0 << 1 << 1
        << u"00000"_s;
}

void OptionsDialogTest::clicksSetModeAndParts()
{
    QFETCH(QStringList, clicks);
    QFETCH(int, switchMode);
    QFETCH(int, specialType);
    QFETCH(int, specialOpt);
    QFETCH(QString, shown);

    for (const QString& name : clicks) {
        Click(name);
    }
    QCOMPARE(int(m_settings.SwitchMode), switchMode);
    QCOMPARE(int(m_settings.SpecialType), specialType);
    QCOMPARE(int(m_settings.SpecialOpt), specialOpt);
    QCOMPARE(Shown(), shown);
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
    Click(u"Switch3"_s);
    Get<QLineEdit>(u"SPos"_s)->setText(start);
    Get<QLineEdit>(u"EPos"_s)->setText(end);
    Click(u"Command1"_s);

    QCOMPARE(int(m_settings.RangeStart), rangeStart);
    QCOMPARE(int(m_settings.RangeEnd), rangeEnd);
    QCOMPARE(int(m_settings.SwitchMode), 3);
    if (message.isEmpty()) {
        QVERIFY(m_fakes.runtime.messages.empty());
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    } else {
        QCOMPARE(Texts(m_fakes.runtime.messages), QStringList{message});
        QVERIFY(m_dialog->isVisible());
        QCOMPARE(QApplication::focusWidget(), Get(focus));
        QCOMPARE(Get<QLineEdit>(u"SPos"_s)->text(), start);
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
    Click(u"Switch3"_s);
    Click(u"Type1"_s);
    Get<QLineEdit>(u"SPos"_s)->setText(u"x"_s);
    Click(u"Switch%1"_s.arg(mode));
    Click(u"Command1"_s);
    QVERIFY(m_fakes.runtime.messages.empty());
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
    QCOMPARE(int(m_settings.RangeStart), 0);
    QCOMPARE(int(m_settings.SwitchMode), mode);

    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
    QVERIFY(Get<QRadioButton>(u"Switch%1"_s.arg(mode))->isChecked());
    QCOMPARE(int(m_settings.SwitchMode), mode);
    QCOMPARE(Shown(), mode == 0 ? u"00000"_s : u"00011"_s);
}

void OptionsDialogTest::keysAndCloseBox_data()
{
    QTest::addColumn<int>("key"); // 0: the close box
    QTest::addColumn<int>("switchMode");
    QTest::addColumn<int>("rangeStart");

    QTest::newRow("Enter in a range field is OK") << int(Qt::Key_Return) << 3 << 2;
    QTest::newRow("keypad Enter is OK too") << int(Qt::Key_Enter) << 3 << 2;
    QTest::newRow("Esc is Cancel") << int(Qt::Key_Escape) << 0 << 0;
    QTest::newRow("the close box is Cancel") << 0 << 0 << 0;
}

void OptionsDialogTest::keysAndCloseBox()
{
    QFETCH(int, key);
    QFETCH(int, switchMode);
    QFETCH(int, rangeStart);

    Click(u"Switch3"_s);
    Click(u"Type1"_s);
    auto* start = Get<QLineEdit>(u"SPos"_s);
    start->setText(u"2"_s);
    Get<QLineEdit>(u"EPos"_s)->setText(u"4"_s);
    start->setFocus();
    if (key == 0) {
        QVERIFY(m_dialog->close());
    } else {
        const auto modifiers = key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
        QTest::keyClick(start, Qt::Key(key), modifiers);
    }

    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(int(m_settings.SwitchMode), switchMode);
    QCOMPARE(int(m_settings.RangeStart), rangeStart);
    // Cancel keeps the class and the texts, but shows the mode it set.
    QCOMPARE(int(m_settings.SpecialType), 1);
    QCOMPARE(start->text(), u"2"_s);
    QVERIFY(Get<QRadioButton>(u"Switch%1"_s.arg(switchMode))->isChecked());
    QCOMPARE(start->isHidden(), switchMode == 0);
    QCOMPARE(Get(u"Frame2"_s)->isHidden(), switchMode == 0);
}

void OptionsDialogTest::okStaysTheDefaultButton_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("tabs");
    QTest::addColumn<QString>("clickInto");
    QTest::addColumn<QString>("defaultButton");

    QTest::newRow("at start") << QString() << 0 << QString() << u"Command1"_s;
    QTest::newRow("Cancel with the focus takes it")
        << u"Command2"_s << 0 << QString() << u"Command2"_s;
    QTest::newRow("tabbing through every control, then a click into a range field")
        << u"Switch3"_s << 24 << u"EPos"_s << u"Command1"_s;
}

void OptionsDialogTest::okStaysTheDefaultButton()
{
    QFETCH(QString, focus);
    QFETCH(int, tabs);
    QFETCH(QString, clickInto);
    QFETCH(QString, defaultButton);

    Click(u"Switch3"_s);
    if (!focus.isEmpty()) {
        Get(focus)->setFocus(Qt::TabFocusReason);
    }
    for (int i = 0; i < tabs; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    if (!clickInto.isEmpty()) {
        QTest::mouseClick(Get(clickInto), Qt::LeftButton);
    }
    QCOMPARE(DefaultButtons(*m_dialog), QStringList{defaultButton});
}

QTEST_MAIN(OptionsDialogTest)
#include "tst_options_dialog.moc"
