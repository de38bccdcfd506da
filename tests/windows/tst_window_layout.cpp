// Both windows as they first appear: every control where the tables put it, captions and
// accessible names, start state, tab order, window frames and whether the text fits.

#include "tests/support/window_support.h"
#include "windows/MainWin.h"
#include "windows/OptWin.h"
#include "windows/layout.h"

#include <QAbstractButton>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using cipherloom::GenerationSettings;
using cipherloom::MainWin;
using cipherloom::OptWin;
using cipherloom::testing::Control;
using cipherloom::testing::WindowFakes;

namespace {

QString CaptionOf(const QWidget* widget)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (const auto* field = qobject_cast<const QLineEdit*>(widget)) {
        return field->text();
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) {
        return frame->title();
    }
    return {};
}

QString WithoutMnemonic(QString text)
{
    return text.remove(QLatin1Char('&'));
}

} // namespace

class WindowLayoutTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void controlsStartAsListed_data();
    void controlsStartAsListed();
    void windowsAreFixedAndPlain_data();
    void windowsAreFixedAndPlain();
    void tabOrderFollowsTheList_data();
    void tabOrderFollowsTheList();
    void numberFieldsTakeTwoDigitsWithoutInputMethod_data();
    void numberFieldsTakeTwoDigitsWithoutInputMethod();
    void mainWindowStartsInTheLengthField();
    void captionsFitWithJapaneseGlyphs_data();
    void captionsFitWithJapaneseGlyphs();
    void controlsStayInsideAndApart_data();
    void controlsStayInsideAndApart();
    void passwordFontIsFixedPitch();
    void longestPasswordFitsWhateverTheFont_data();
    void longestPasswordFitsWhateverTheFont();
    void tooWideCaptionGrowsToTheRight_data();
    void tooWideCaptionGrowsToTheRight();

private:
    QWidget* Window(const QString& which) const
    {
        return which == QLatin1String("main") ? static_cast<QWidget*>(m_main.get()) : m_options;
    }

    WindowFakes m_fakes;
    GenerationSettings m_settings;
    std::unique_ptr<MainWin> m_main;
    OptWin* m_options = nullptr;
};

void WindowLayoutTest::initTestCase()
{
    m_main = std::make_unique<MainWin>(m_fakes.runtime);
    // Packaged builds give the main window an icon; the dialog must not take it over.
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    m_main->setWindowIcon(QIcon(pixmap));
    m_options = new OptWin(m_settings, m_fakes.runtime, m_main.get());
    m_main->show();
    QVERIFY(QTest::qWaitForWindowActive(m_main.get()));
}

void WindowLayoutTest::cleanupTestCase()
{
    m_main.reset();
}

void WindowLayoutTest::controlsStartAsListed_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("accessibleName");
    QTest::addColumn<int>("fontPixels");
    QTest::addColumn<bool>("hidden");
    QTest::addColumn<bool>("checked");

    const auto row = [](const char* sentence, const char* window, const char* control, QRect rect,
                        const QString& caption, const QString& accessible, int pixels,
                        bool hidden = false, bool checked = false) {
        QTest::newRow(sentence) << QString::fromLatin1(window) << QString::fromLatin1(control)
                                << rect << caption << accessible << pixels << hidden << checked;
    };
    // Pixels are the twips of the tables divided by 15; 12 pt is 16 px and 11.25 pt 15 px.
    row("main: the length label is smaller type", "main", "Label1", {24, 32, 65, 17},
        u"文字数(&L)"_s, u"文字数"_s, 15);
    row("main: the length field starts at 8", "main", "StrLength", {96, 24, 33, 25}, u"8"_s,
        u"文字数"_s, 16);
    row("main: the bounds hint", "main", "Label2", {136, 32, 65, 17}, u"（1～32）"_s,
        u"（1～32）"_s, 16);
    row("main: digits selected", "main", "Type0", {24, 80, 81, 25}, u"数字(&Q)"_s, u"数字"_s, 16,
        false, true);
    row("main: letters", "main", "Type1", {104, 80, 81, 25}, u"英字(&W)"_s, u"英字"_s, 16);
    row("main: alphanumerics", "main", "Type2", {184, 80, 97, 25}, u"英数字(&E)"_s, u"英数字"_s,
        16);
    row("main: with symbols", "main", "Type3", {280, 80, 121, 25}, u"英数字記号(&R)"_s,
        u"英数字記号"_s, 16);
    row("main: the case frame is hidden", "main", "Frame1", {88, 112, 305, 49}, u"英字について"_s,
        u"英字について"_s, 15, true);
    row("main: both cases selected", "main", "Opt0", {8, 16, 65, 25}, u"全て(&A)"_s, u"全て"_s, 15,
        false, true);
    row("main: lowercase", "main", "Opt1", {80, 16, 105, 25}, u"小文字のみ(&S)"_s, u"小文字のみ"_s,
        15);
    row("main: uppercase", "main", "Opt2", {192, 16, 105, 25}, u"大文字のみ(&D)"_s, u"大文字のみ"_s,
        15);
    row("main: the password caption", "main", "Label4", {32, 184, 73, 17}, u"パスワード"_s,
        u"パスワード"_s, 16);
    // No fixed name: a screen reader reads the password, labelled by the caption.
    row("main: the password starts empty", "main", "PassWord", {112, 176, 281, 25}, QString(),
        QString(), 16);
    row("main: generate", "main", "Command1", {32, 232, 89, 33}, u"生成(&C)"_s, u"生成"_s, 16);
    row("main: exit", "main", "Command2", {296, 232, 89, 33}, u"終了(&X)"_s, u"終了"_s, 16);
    row("main: options", "main", "Command3", {280, 16, 121, 33}, u"オプション(&O)"_s,
        u"オプション"_s, 16);

    row("options: off selected", "options", "Switch0", {16, 24, 73, 17}, u"無効(&0)"_s, u"無効"_s,
        16, false, true);
    row("options: first", "options", "Switch1", {96, 24, 73, 17}, u"先頭(&1)"_s, u"先頭"_s, 16);
    row("options: last", "options", "Switch2", {176, 24, 73, 17}, u"末尾(&2)"_s, u"末尾"_s, 16);
    row("options: range", "options", "Switch3", {256, 24, 105, 17}, u"範囲指定(&3)"_s,
        u"範囲指定"_s, 16);
    row("options: the range start is hidden and empty", "options", "SPos", {288, 48, 33, 25},
        QString(), u"範囲の開始"_s, 16, true);
    row("options: the tilde is hidden", "options", "Label1", {328, 56, 17, 17}, u"～"_s, u"～"_s,
        16, true);
    row("options: the range end is hidden and empty", "options", "EPos", {352, 48, 33, 25},
        QString(), u"範囲の終了"_s, 16, true);
    row("options: the class frame is hidden", "options", "Frame2", {24, 96, 393, 49}, QString(),
        u"文字の種類"_s, 16, true);
    row("options: digits selected", "options", "Type0", {0, 16, 81, 25}, u"数字(&Q)"_s, u"数字"_s,
        16, false, true);
    row("options: letters", "options", "Type1", {80, 16, 81, 25}, u"英字(&W)"_s, u"英字"_s, 16);
    row("options: alphanumerics", "options", "Type2", {160, 16, 97, 25}, u"英数字(&E)"_s,
        u"英数字"_s, 16);
    row("options: with symbols", "options", "Type3", {256, 16, 121, 25}, u"英数字記号(&R)"_s,
        u"英数字記号"_s, 16);
    row("options: the case frame is hidden", "options", "Frame1", {88, 160, 305, 49},
        u"英字について"_s, u"英字について"_s, 15, true);
    row("options: both cases selected", "options", "Opt0", {8, 16, 65, 25}, u"全て(&A)"_s,
        u"全て"_s, 15, false, true);
    row("options: lowercase", "options", "Opt1", {80, 16, 105, 25}, u"小文字のみ(&S)"_s,
        u"小文字のみ"_s, 15);
    row("options: uppercase", "options", "Opt2", {192, 16, 105, 25}, u"大文字のみ(&D)"_s,
        u"大文字のみ"_s, 15);
    row("options: OK", "options", "Command1", {24, 232, 105, 33}, u"OK"_s, u"OK"_s, 16);
    row("options: Cancel", "options", "Command2", {288, 232, 105, 33}, u"Cancel"_s, u"Cancel"_s,
        16);
}

void WindowLayoutTest::controlsStartAsListed()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(QString, accessibleName);
    QFETCH(int, fontPixels);
    QFETCH(bool, hidden);
    QFETCH(bool, checked);

    const QWidget* widget = Control<QWidget>(*Window(window), control);
    QVERIFY(widget != nullptr);
    QCOMPARE(widget->pos(), geometry.topLeft());
    QCOMPARE(widget->height(), geometry.height());
    // An option button may grow to the right to fit a stand-in font; nothing shrinks.
    if (qobject_cast<const QRadioButton*>(widget) != nullptr) {
        QVERIFY(widget->width() >= geometry.width());
    } else {
        QCOMPARE(widget->width(), geometry.width());
    }
    QCOMPARE(CaptionOf(widget), caption);
    QCOMPARE(widget->accessibleName(), accessibleName);
    QCOMPARE(widget->font().pixelSize(), fontPixels);
    QCOMPARE(widget->isHidden(), hidden);
    if (const auto* button = qobject_cast<const QRadioButton*>(widget)) {
        QCOMPARE(button->isChecked(), checked);
    }
}

void WindowLayoutTest::windowsAreFixedAndPlain_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("ownIcon");

    QTest::newRow("the main window is titled with the program's name")
        << u"main"_s << u"Cipherloom"_s << true;
    QTest::newRow("the options dialog has no icon of its own")
        << u"options"_s << u"オプション"_s << false;
}

void WindowLayoutTest::windowsAreFixedAndPlain()
{
    QFETCH(QString, window);
    QFETCH(QString, title);
    QFETCH(bool, ownIcon);

    const QWidget* widget = Window(window);
    QCOMPARE(widget->windowTitle(), title);
    // 6390 x 4215 twips of client area, not resizable.
    QCOMPARE(widget->size(), QSize(426, 281));
    QCOMPARE(widget->minimumSize(), widget->maximumSize());
    const Qt::WindowFlags flags = widget->windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(widget->windowIcon().isNull(), !ownIcon);
}

void WindowLayoutTest::tabOrderFollowsTheList_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("order");

    QTest::newRow("main window: length, class, case, then the three buttons")
        << u"main"_s << QStringList{u"StrLength"_s, u"Type0"_s,    u"Type1"_s,   u"Type2"_s,
                                    u"Type3"_s,     u"Opt0"_s,     u"Opt1"_s,    u"Opt2"_s,
                                    u"Command1"_s,  u"Command2"_s, u"Command3"_s};
    QTest::newRow("options dialog: mode, range, class, case, OK, Cancel")
        << u"options"_s
        << QStringList{u"Switch0"_s, u"Switch1"_s, u"Switch2"_s, u"Switch3"_s,  u"SPos"_s,
                       u"EPos"_s,    u"Type0"_s,   u"Type1"_s,   u"Type2"_s,    u"Type3"_s,
                       u"Opt0"_s,    u"Opt1"_s,    u"Opt2"_s,    u"Command1"_s, u"Command2"_s};
}

void WindowLayoutTest::tabOrderFollowsTheList()
{
    QFETCH(QString, window);
    QFETCH(QStringList, order);

    QWidget* top = Window(window);
    QStringList chain;
    for (QWidget* w = top->nextInFocusChain(); w != top; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->window() == top) {
            chain << w->objectName();
        }
    }
    QCOMPARE(chain, order);
}

void WindowLayoutTest::numberFieldsTakeTwoDigitsWithoutInputMethod_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("field");

    QTest::newRow("the length") << u"main"_s << u"StrLength"_s;
    QTest::newRow("the range start") << u"options"_s << u"SPos"_s;
    QTest::newRow("the range end") << u"options"_s << u"EPos"_s;
}

void WindowLayoutTest::numberFieldsTakeTwoDigitsWithoutInputMethod()
{
    QFETCH(QString, window);
    QFETCH(QString, field);

    const auto* edit = Control<QLineEdit>(*Window(window), field);
    QVERIFY(edit != nullptr);
    QCOMPARE(edit->maxLength(), 2);
    QVERIFY(!edit->testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(edit->inputMethodHints().testFlag(Qt::ImhDigitsOnly));
}

void WindowLayoutTest::mainWindowStartsInTheLengthField()
{
    QCOMPARE(QApplication::focusWidget(), Control<QLineEdit>(*m_main, u"StrLength"_s));
    QCOMPARE(m_main->Settings(), GenerationSettings{});
    // The window picks the field itself, before any activation: Qt's fallback, the first control
    // in the tab order, happens to be the same field only as long as the order stays as it is.
    WindowFakes fakes;
    const MainWin unshown(fakes.runtime);
    QCOMPARE(unshown.focusWidget(), Control<QLineEdit>(unshown, u"StrLength"_s));
}

void WindowLayoutTest::captionsFitWithJapaneseGlyphs_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");

    for (const QString& window : {u"main"_s, u"options"_s}) {
        for (const QWidget* widget : Window(window)->findChildren<QWidget*>()) {
            if (widget->window() == Window(window) && !CaptionOf(widget).isEmpty() &&
                qobject_cast<const QLineEdit*>(widget) == nullptr) {
                const QString sentence = window + u" window, "_s + widget->objectName();
                QTest::newRow(qPrintable(sentence)) << window << widget->objectName();
            }
        }
    }
}

void WindowLayoutTest::captionsFitWithJapaneseGlyphs()
{
    QFETCH(QString, window);
    QFETCH(QString, control);

    const QWidget* widget = Control<QWidget>(*Window(window), control);
    const QString text = WithoutMnemonic(CaptionOf(widget));
    // The chosen font itself must have every character, not a last-resort fallback.
    const QFontMetrics metrics(widget->font());
    for (const QChar c : text) {
        QVERIFY2(metrics.inFont(c), qPrintable(u"no glyph for "_s + c));
    }
    // The room the style leaves for the caption must hold all of it.
    int needed = 0;
    int room = widget->width();
    if (const auto* button = qobject_cast<const QRadioButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        room = button->style()
                   ->subElementRect(QStyle::SE_RadioButtonContents, &option, button)
                   .width();
        needed = metrics.horizontalAdvance(text);
    } else if (qobject_cast<const QGroupBox*>(widget) != nullptr) {
        needed = widget->minimumSizeHint().width();
    } else {
        needed = widget->sizeHint().width();
    }
    QVERIFY2(needed <= room, qPrintable(u"needs %1 px, has %2"_s.arg(needed).arg(room)));
    QVERIFY2(metrics.height() <= widget->height(),
             qPrintable(u"text %1 px high, has %2"_s.arg(metrics.height()).arg(widget->height())));
}

void WindowLayoutTest::controlsStayInsideAndApart_data()
{
    QTest::addColumn<QString>("window");

    QTest::newRow("main window") << u"main"_s;
    QTest::newRow("options dialog") << u"options"_s;
}

void WindowLayoutTest::controlsStayInsideAndApart()
{
    QFETCH(QString, window);

    for (const QWidget* widget : Window(window)->findChildren<QWidget*>()) {
        if (widget->window() != Window(window)) {
            continue;
        }
        const QWidget* parent = widget->parentWidget();
        QVERIFY2(parent->rect().contains(widget->geometry()), qPrintable(widget->objectName()));
        for (const QObject* other : parent->children()) {
            const auto* sibling = qobject_cast<const QWidget*>(other);
            if (sibling != nullptr && sibling != widget && !sibling->isWindow()) {
                // The tables let the first two class buttons share one pixel column.
                const QRect shared = widget->geometry().intersected(sibling->geometry());
                QVERIFY2(shared.width() <= 1, qPrintable(widget->objectName() + u" overlaps "_s +
                                                         sibling->objectName()));
            }
        }
    }
}

void WindowLayoutTest::passwordFontIsFixedPitch()
{
    const QFontMetrics metrics(Control<QLabel>(*m_main, u"PassWord"_s)->font());
    const int narrow = metrics.horizontalAdvance(QLatin1Char('i'));
    QCOMPARE(metrics.horizontalAdvance(QLatin1Char('W')), narrow);
    QCOMPARE(metrics.horizontalAdvance(QLatin1Char('@')), narrow);
    QCOMPARE(metrics.horizontalAdvance(QLatin1Char('1')), narrow);
}

void WindowLayoutTest::longestPasswordFitsWhateverTheFont_data()
{
    QTest::addColumn<QString>("family");

    QTest::newRow("the font the window chose") << QString();
    // What a system without Japanese fonts falls back to; 32 of its characters need 308 px.
    QTest::newRow("DejaVu Sans Mono, wider than the Japanese fixed-pitch fonts")
        << u"DejaVu Sans Mono"_s;
    QTest::newRow("no fixed-pitch font at all: the widest letter sets the size")
        << u"DejaVu Sans"_s;
}

void WindowLayoutTest::longestPasswordFitsWhateverTheFont()
{
    QFETCH(QString, family);
    constexpr int kLongest = 32;
    // The widest run of any one character a password can hold.
    const auto widestRun = [](const QFont& font) {
        const QFontMetrics metrics(font);
        int widest = 0;
        for (char16_t c = u'!'; c <= u'~'; ++c) {
            widest = qMax(widest, metrics.horizontalAdvance(QString(kLongest, QChar(c))));
        }
        return widest;
    };

    QLabel* display = Control<QLabel>(*m_main, u"PassWord"_s);
    QLabel standIn;
    if (!family.isEmpty()) {
        standIn.setFrameStyle(display->frameStyle());
        standIn.setLineWidth(display->lineWidth());
        standIn.resize(display->size());
        // At the layout's own size, before any fit.
        QFont font = cipherloom::layout::MakeFont(cipherloom::layout::FontRole::Fixed);
        font.setFamilies({family});
        standIn.setFont(font);
        QCOMPARE(QFontInfo(standIn.font()).family(), family);
        QVERIFY(widestRun(standIn.font()) > standIn.contentsRect().width());
        cipherloom::layout::FitFontToCharacters(standIn, kLongest);
        display = &standIn;
    }
    const int room = display->contentsRect().width();
    const int needed = widestRun(display->font());
    QVERIFY2(needed <= room, qPrintable(u"needs %1 px, has %2"_s.arg(needed).arg(room)));
    if (display == &standIn) {
        // Shrunk no further than needed.
        QFont larger = display->font();
        larger.setPixelSize(larger.pixelSize() + 1);
        QVERIFY(widestRun(larger) > room);
    }
}

void WindowLayoutTest::tooWideCaptionGrowsToTheRight_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("roomForAll");

    // As a wider stand-in font would make them: 80 px of text in 20 px.
    QTest::newRow("a label with room to its right shows all of its caption") << u"Roomy"_s << true;
    QTest::newRow("a label near the window's edge grows up to the edge") << u"AtEdge"_s << false;
}

void WindowLayoutTest::tooWideCaptionGrowsToTheRight()
{
    QFETCH(QString, control);
    QFETCH(bool, roomForAll);
    using cipherloom::layout::ControlRow;
    using cipherloom::layout::kNoIndex;
    constexpr auto kNormal = cipherloom::layout::FontRole::Normal;
    QLabel* roomy = nullptr;
    QLabel* atEdge = nullptr;
    // clang-format off
    const ControlRow rows[] = {
        {"Roomy",  &roomy,  kNoIndex, u"パスワード", 0,    0,   300, 255, {}, kNormal, 0, {}},
        {"AtEdge", &atEdge, kNoIndex, u"パスワード", 2400, 360, 300, 255, {}, kNormal, 0, {}},
    };
    // clang-format on
    QWidget window;
    window.resize(200, 60);
    cipherloom::layout::BuildControls(window, rows);

    const auto* label = Control<QLabel>(window, control);
    QVERIFY(label != nullptr);
    const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
    if (roomForAll) {
        QVERIFY2(label->width() >= textWidth,
                 qPrintable(u"%1 px for %2 px of text"_s.arg(label->width()).arg(textWidth)));
    } else {
        QCOMPARE(label->geometry().right() + 1, window.width());
    }
}

QTEST_MAIN(WindowLayoutTest)
#include "tst_window_layout.moc"
