// Both windows as they first appear: every control where the tables put it, captions and
// accessible names, start state, tab order, window frames and whether the text fits.

#include "tests/support/window_support.h"
#include "windows/MainWin.h"
#include "windows/OptWin.h"
#include "windows/layout.h"

#include <QFontInfo>
#include <QGroupBox>
#include <QPixmap>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>

using namespace Qt::StringLiterals;
using namespace cipherloom;
using namespace cipherloom::testing;

namespace {

// A label's, button's or field's text, a frame's title, nothing for any other widget.
QString CaptionOf(const QWidget* widget)
{
    const auto* frame = qobject_cast<const QGroupBox*>(widget);
    return frame != nullptr ? frame->title() : widget->property("text").toString();
}

// Why the control's caption does not fit, or nothing when it does or it has none (a field's
// text is no caption).
QString CaptionProblem(const QWidget* widget)
{
    const QString text = CaptionOf(widget).remove(u'&');
    if (text.isEmpty() || qobject_cast<const QLineEdit*>(widget) != nullptr) {
        return {};
    }
    // The chosen font itself must have every character, not a last-resort fallback.
    const QFontMetrics metrics(widget->font());
    for (const QChar c : text) {
        if (!metrics.inFont(c)) {
            return u"no glyph for "_s + c;
        }
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
    if (needed > room) {
        return u"needs %1 px, has %2"_s.arg(needed).arg(room);
    }
    if (metrics.height() > widget->height()) {
        return u"text %1 px high, has %2"_s.arg(metrics.height()).arg(widget->height());
    }
    return {};
}

enum class Start
{
    Shown,
    Hidden,
    Checked,
};

} // namespace

class WindowLayoutTest final : public QObject
{
    Q_OBJECT

public:
    WindowLayoutTest()
    {
        // Packaged builds give the main window an icon; the dialog must not take it over.
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::red);
        m_main.setWindowIcon(QIcon(pixmap));
    }

private slots:
    void initTestCase();

    void controlsStartAsListed_data();
    void controlsStartAsListed();
    void eachWindow_data();
    void eachWindow();
    void mainWindowStartsInTheLengthField();
    void longestPasswordFitsWhateverTheFont_data();
    void longestPasswordFitsWhateverTheFont();
    void tooWideCaptionGrowsToTheRight();

private:
    QWidget* Window(const QString& which)
    {
        return which == QLatin1String("main") ? static_cast<QWidget*>(&m_main) : m_options;
    }

    WindowFakes m_fakes;
    GenerationSettings m_settings;
    MainWin m_main{m_fakes.runtime};
    OptWin* m_options = new OptWin(m_settings, m_fakes.runtime, &m_main);
};

void WindowLayoutTest::initTestCase()
{
    m_main.show();
    QVERIFY(QTest::qWaitForWindowActive(&m_main));
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

    // Pixels are the twips of the tables divided by 15; 12 pt is 16 px and 11.25 pt 15 px. The
    // accessible name is the caption without its access key unless given.
    QString window = u"main"_s;
    const auto row = [&window](const char* what, const char* control, QRect rect,
                               const QString& caption, int pixels = 16, Start start = Start::Shown,
                               const QString& accessible = {}) {
        static const QRegularExpression accessKey(u"\\(&.\\)$"_s);
        QTest::newRow(qPrintable(window + u": "_s + QLatin1String(what)))
            << window << QString::fromLatin1(control) << rect << caption
            << (accessible.isEmpty() ? QString(caption).remove(accessKey) : accessible) << pixels
            << (start == Start::Hidden) << (start == Start::Checked);
    };
    row("the length label is smaller type", "Label1", {24, 32, 65, 17}, u"文字数(&L)"_s, 15);
    row("the length field starts at 8", "StrLength", {96, 24, 33, 25}, u"8"_s, 16, Start::Shown,
        u"文字数"_s);
    row("the bounds hint", "Label2", {136, 32, 65, 17}, u"（1～32）"_s);
    row("digits selected", "Type0", {24, 80, 81, 25}, u"数字(&Q)"_s, 16, Start::Checked);
    row("letters", "Type1", {104, 80, 81, 25}, u"英字(&W)"_s);
    row("alphanumerics", "Type2", {184, 80, 97, 25}, u"英数字(&E)"_s);
    row("with symbols", "Type3", {280, 80, 121, 25}, u"英数字記号(&R)"_s);
    row("the case frame is hidden", "Frame1", {88, 112, 305, 49}, u"英字について"_s, 15,
        Start::Hidden);
    row("both cases selected", "Opt0", {8, 16, 65, 25}, u"全て(&A)"_s, 15, Start::Checked);
    row("lowercase", "Opt1", {80, 16, 105, 25}, u"小文字のみ(&S)"_s, 15);
    row("uppercase", "Opt2", {192, 16, 105, 25}, u"大文字のみ(&D)"_s, 15);
    row("the password caption", "Label4", {32, 184, 73, 17}, u"パスワード"_s);
    // No fixed name: a screen reader reads the password, labelled by the caption.
    row("the password starts empty", "PassWord", {112, 176, 281, 25}, QString());
    row("generate", "Command1", {32, 232, 89, 33}, u"生成(&C)"_s);
    row("exit", "Command2", {296, 232, 89, 33}, u"終了(&X)"_s);
    row("options", "Command3", {280, 16, 121, 33}, u"オプション(&O)"_s);

    window = u"options"_s;
    row("off selected", "Switch0", {16, 24, 73, 17}, u"無効(&0)"_s, 16, Start::Checked);
    row("first", "Switch1", {96, 24, 73, 17}, u"先頭(&1)"_s);
    row("last", "Switch2", {176, 24, 73, 17}, u"末尾(&2)"_s);
    row("range", "Switch3", {256, 24, 105, 17}, u"範囲指定(&3)"_s);
    row("the range start is hidden and empty", "SPos", {288, 48, 33, 25}, QString(), 16,
        Start::Hidden, u"範囲の開始"_s);
    row("the tilde is hidden", "Label1", {328, 56, 17, 17}, u"～"_s, 16, Start::Hidden);
    row("the range end is hidden and empty", "EPos", {352, 48, 33, 25}, QString(), 16,
        Start::Hidden, u"範囲の終了"_s);
    row("the class frame is hidden", "Frame2", {24, 96, 393, 49}, QString(), 16, Start::Hidden,
        u"文字の種類"_s);
    row("digits selected", "Type0", {0, 16, 81, 25}, u"数字(&Q)"_s, 16, Start::Checked);
    row("letters", "Type1", {80, 16, 81, 25}, u"英字(&W)"_s);
    row("alphanumerics", "Type2", {160, 16, 97, 25}, u"英数字(&E)"_s);
    row("with symbols", "Type3", {256, 16, 121, 25}, u"英数字記号(&R)"_s);
    row("the case frame is hidden", "Frame1", {88, 160, 305, 49}, u"英字について"_s, 15,
        Start::Hidden);
    row("both cases selected", "Opt0", {8, 16, 65, 25}, u"全て(&A)"_s, 15, Start::Checked);
    row("lowercase", "Opt1", {80, 16, 105, 25}, u"小文字のみ(&S)"_s, 15);
    row("uppercase", "Opt2", {192, 16, 105, 25}, u"大文字のみ(&D)"_s, 15);
    row("OK", "Command1", {24, 232, 105, 33}, u"OK"_s);
    row("Cancel", "Command2", {288, 232, 105, 33}, u"Cancel"_s);
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

    const QWidget* widget = Control(*Window(window), control);
    QVERIFY(widget != nullptr);
    QCOMPARE(widget->pos(), geometry.topLeft());
    QCOMPARE(widget->height(), geometry.height());
    // An option button may grow to the right to fit a stand-in font; nothing shrinks.
    if (const auto* button = qobject_cast<const QRadioButton*>(widget)) {
        QVERIFY(widget->width() >= geometry.width());
        QCOMPARE(button->isChecked(), checked);
    } else {
        QCOMPARE(widget->width(), geometry.width());
    }
    QCOMPARE(CaptionOf(widget), caption);
    QCOMPARE(widget->accessibleName(), accessibleName);
    QCOMPARE(widget->font().pixelSize(), fontPixels);
    QCOMPARE(widget->isHidden(), hidden);
    // Every field takes a number of one or two digits, typed without an input method.
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        QCOMPARE(edit->maxLength(), 2);
        QVERIFY(!edit->testAttribute(Qt::WA_InputMethodEnabled));
        QVERIFY(edit->inputMethodHints().testFlag(Qt::ImhDigitsOnly));
    }
}

void WindowLayoutTest::eachWindow_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("ownIcon");
    QTest::addColumn<QStringList>("tabOrder");

    QTest::newRow("the main window: the program's name; length, class, case, then the buttons")
        << u"main"_s << u"Cipherloom"_s << true
        << QStringList{u"StrLength"_s, u"Type0"_s,    u"Type1"_s,   u"Type2"_s,
                       u"Type3"_s,     u"Opt0"_s,     u"Opt1"_s,    u"Opt2"_s,
                       u"Command1"_s,  u"Command2"_s, u"Command3"_s};
    QTest::newRow("the options dialog: no icon of its own; mode, range, class, case, OK, Cancel")
        << u"options"_s << u"オプション"_s << false
        << QStringList{u"Switch0"_s, u"Switch1"_s, u"Switch2"_s, u"Switch3"_s,  u"SPos"_s,
                       u"EPos"_s,    u"Type0"_s,   u"Type1"_s,   u"Type2"_s,    u"Type3"_s,
                       u"Opt0"_s,    u"Opt1"_s,    u"Opt2"_s,    u"Command1"_s, u"Command2"_s};
}

// Title, frame and icon, the tab order, and every control inside its parent, off the others and
// with room for its caption in Japanese glyphs.
void WindowLayoutTest::eachWindow()
{
    QFETCH(QString, window);
    QFETCH(QString, title);
    QFETCH(bool, ownIcon);
    QFETCH(QStringList, tabOrder);

    QWidget* top = Window(window);
    QCOMPARE(top->windowTitle(), title);
    // 6390 x 4215 twips of client area, not resizable.
    QCOMPARE(top->size(), QSize(426, 281));
    QCOMPARE(top->minimumSize(), top->maximumSize());
    // A close box and no minimize or maximize box.
    const Qt::WindowFlags frame = Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint;
    QCOMPARE(top->windowFlags() & (frame | Qt::WindowMinMaxButtonsHint), frame);
    QCOMPARE(top->windowIcon().isNull(), !ownIcon);

    QStringList chain;
    for (QWidget* w = top->nextInFocusChain(); w != top; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->window() == top) {
            chain << w->objectName();
        }
    }
    QCOMPARE(chain, tabOrder);

    for (const QWidget* widget : top->findChildren<QWidget*>()) {
        if (widget->window() != top) {
            continue;
        }
        const QWidget* parent = widget->parentWidget();
        QVERIFY2(parent->rect().contains(widget->geometry()), qPrintable(widget->objectName()));
        const QString problem = CaptionProblem(widget);
        QVERIFY2(problem.isEmpty(), qPrintable(widget->objectName() + u": "_s + problem));
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

void WindowLayoutTest::mainWindowStartsInTheLengthField()
{
    QCOMPARE(QApplication::focusWidget(), Control<QLineEdit>(m_main, u"StrLength"_s));
    QCOMPARE(m_main.Settings(), GenerationSettings{});
    // The window picks the field itself, before any activation: Qt's fallback, the first control
    // in the tab order, happens to be the same field only as long as the order stays as it is.
    WindowFakes fakes;
    const MainWin unshown(fakes.runtime);
    QCOMPARE(unshown.focusWidget(), Control<QLineEdit>(unshown, u"StrLength"_s));
}

void WindowLayoutTest::longestPasswordFitsWhateverTheFont_data()
{
    QTest::addColumn<QString>("family");

    QTest::newRow("the font the window chose, fixed-pitch") << QString();
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

    QLabel* display = Control<QLabel>(m_main, u"PassWord"_s);
    QLabel standIn;
    if (!family.isEmpty()) {
        standIn.setFrameStyle(display->frameStyle());
        standIn.setLineWidth(display->lineWidth());
        standIn.resize(display->size());
        // At the layout's own size, before any fit.
        QFont font = layout::MakeFont(layout::FontRole::Fixed);
        font.setFamilies({family});
        standIn.setFont(font);
        QCOMPARE(QFontInfo(standIn.font()).family(), family);
        QVERIFY(widestRun(standIn.font()) > standIn.contentsRect().width());
        layout::FitFontToCharacters(standIn, kLongest);
        display = &standIn;
    } else {
        const QFontMetrics metrics(display->font());
        for (const QChar c : u"W@1"_s) {
            QCOMPARE(metrics.horizontalAdvance(c), metrics.horizontalAdvance(u'i'));
        }
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

// As a wider stand-in font would make them: 80 px of text in 20 px.
void WindowLayoutTest::tooWideCaptionGrowsToTheRight()
{
    using layout::ControlRow;
    using layout::kNoIndex;
    constexpr auto kNormal = layout::FontRole::Normal;
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
    layout::BuildControls(window, rows);

    // A label with room to its right shows all of its caption.
    const auto* label = Control<QLabel>(window, u"Roomy"_s);
    QVERIFY(label != nullptr);
    const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
    QVERIFY2(label->width() >= textWidth,
             qPrintable(u"%1 px for %2 px of text"_s.arg(label->width()).arg(textWidth)));
    // One near the window's edge grows up to the edge.
    label = Control<QLabel>(window, u"AtEdge"_s);
    QVERIFY(label != nullptr);
    QCOMPARE(label->geometry().right() + 1, window.width());
}

QTEST_MAIN(WindowLayoutTest)
#include "tst_window_layout.moc"
