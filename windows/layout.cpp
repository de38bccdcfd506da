#include "windows/layout.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QByteArrayView>
#include <QEvent>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcutEvent>
#include <QStringList>
#include <QStyleOptionButton>
#include <QWidget>

namespace cipherloom::layout {
namespace {

constexpr int kNumberFieldMaxLength = 2;

// Pixels at 96 dpi, like the twips, so text keeps its place whatever DPI the platform reports.
constexpr double kPixelsPerPoint = 96.0 / 72.0;
constexpr double kNormalPoints = 12.0;
constexpr double kSmallPoints = 11.25;

constexpr std::size_t kAccessKeySuffixLength = 4; // "(&X)" at the end of a caption

// Windows' option circle and gap, which the layout was made for; Fusion's would cut captions.
constexpr int kOptionIndicatorPixels = 13;
constexpr int kOptionLabelSpacingPixels = 4;

constexpr int kFrameBorderPixels = 1; // the right-hand line of a captioned frame

// Printable ASCII, every character a password can hold; a floor no usual font comes near.
constexpr char16_t kFirstPrintable = u'!';
constexpr char16_t kLastPrintable = u'~';
constexpr int kSmallestFittedPixels = 6;

// Qt's access key clicks 100 ms later, after Enter typed meanwhile; Windows acts at once, and so
// does this. An ambiguous key is left to Qt, which only moves the focus.
class ImmediateAccessKey final : public QObject
{
    Q_DISABLE_COPY_MOVE(ImmediateAccessKey)

public:
    explicit ImmediateAccessKey(QObject* parent) : QObject(parent) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Shortcut) {
            return QObject::eventFilter(watched, event);
        }
        auto* button = qobject_cast<QAbstractButton*>(watched);
        const auto* shortcut = static_cast<const QShortcutEvent*>(event);
        if (button == nullptr || shortcut->isAmbiguous() || !button->isEnabled() ||
            shortcut->key() != QKeySequence::mnemonic(button->text())) {
            return false;
        }
        // As Qt's animated click: the focus goes to an option button, not a push button.
        if (button->isCheckable() && (button->focusPolicy() & Qt::ClickFocus) != 0) {
            button->setFocus(Qt::ShortcutFocusReason);
        }
        button->click();
        return true;
    }
};

// Whole runs, not one character times the count: advances are rounded per glyph and per run.
int WidestRunWidth(const QFont& font, int characters)
{
    const QFontMetrics metrics(font);
    int widest = 0;
    for (char16_t c = kFirstPrintable; c <= kLastPrintable; ++c) {
        widest = qMax(widest, metrics.horizontalAdvance(QString(characters, QChar(c))));
    }
    return widest;
}

class OptionButtonStyle final : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override
    {
        switch (metric) {
        case PM_ExclusiveIndicatorWidth:
        case PM_ExclusiveIndicatorHeight:
            return kOptionIndicatorPixels;
        case PM_RadioButtonLabelSpacing:
            return kOptionLabelSpacingPixels;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};

// Stand-in fonts run wider than the Windows ones: grows to the right, never past the parent's edge.
void GrowToWidth(QWidget& widget, int needed)
{
    if (needed <= widget.width()) {
        return;
    }
    const QWidget* parent = widget.parentWidget();
    const int border = qobject_cast<const QGroupBox*>(parent) != nullptr ? kFrameBorderPixels : 0;
    const int limit = parent->width() - border - widget.x();
    widget.resize(qMax(widget.width(), qMin(needed, limit)), widget.height());
}

void GrowToFitCaption(QRadioButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const QRect contents =
        button.style()->subElementRect(QStyle::SE_RadioButtonContents, &option, &button);
    const int textWidth = button.fontMetrics().size(Qt::TextShowMnemonic, button.text()).width();
    GrowToWidth(button, button.width() - contents.width() + textWidth);
}

QString FromUtf16(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// "数字(&Q)" -> "数字": what a screen reader should say for a caption.
QString WithoutAccessKey(std::u16string_view caption)
{
    if (caption.size() >= kAccessKeySuffixLength &&
        caption.substr(caption.size() - kAccessKeySuffixLength, 2) == u"(&" &&
        caption.back() == u')') {
        caption.remove_suffix(kAccessKeySuffixLength);
    }
    return FromUtf16(caption);
}

// Makes each row's control; what the rows share lasts from one row to the next.
class Builder final
{
    Q_DISABLE_COPY_MOVE(Builder)

public:
    explicit Builder(QWidget& window)
        : m_window(window), m_optionStyle(new OptionButtonStyle),
          m_accessKeys(new ImmediateAccessKey(&window))
    {
        m_optionStyle->setParent(&window);
    }

    void Add(const ControlRow& row, QLabel*& slot)
    {
        auto* label = new QLabel(Parent(row));
        label->setTextFormat(Qt::PlainText); // a password such as "<b>" is never markup
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setText(FromUtf16(row.caption));
        if ((row.flags & kDisplay) != 0) {
            label->setFrameStyle(QFrame::Box | QFrame::Plain);
            label->setAutoFillBackground(true);
            // The text-field white, which Windows calls the window background.
            label->setBackgroundRole(QPalette::Base);
            label->setAlignment(Qt::AlignCenter);
        }
        Place(*label, row);
        if ((row.flags & kDisplay) == 0) {
            GrowToWidth(*label,
                        label->fontMetrics().size(Qt::TextShowMnemonic, label->text()).width());
        }
        slot = label;
    }

    void Add(const ControlRow& row, QLineEdit*& slot)
    {
        auto* field = new QLineEdit(Parent(row));
        field->setMaxLength(kNumberFieldMaxLength);
        field->setText(FromUtf16(row.caption));
        // Digits only: no input method composition on focus.
        field->setAttribute(Qt::WA_InputMethodEnabled, false);
        field->setInputMethodHints(Qt::ImhDigitsOnly);
        Place(*field, row);
        slot = field;
    }

    void Add(const ControlRow& row, QButtonGroup*& slot)
    {
        auto* button = new QRadioButton(FromUtf16(row.caption), Parent(row));
        button->setStyle(m_optionStyle);
        Place(*button, row);
        if (slot == nullptr) {
            slot = new QButtonGroup(&m_window); // exclusive
        }
        slot->addButton(button, row.index);
        button->setChecked((row.flags & kChecked) != 0);
        GrowToFitCaption(*button);
        button->installEventFilter(m_accessKeys);
    }

    void Add(const ControlRow& row, QWidget*& slot)
    {
        QWidget* frame = (row.flags & kNoBorder) != 0
                             ? new QWidget(Parent(row))
                             : new QGroupBox(FromUtf16(row.caption), Parent(row));
        Place(*frame, row);
        slot = frame;
    }

    void Add(const ControlRow& row, QPushButton*& slot)
    {
        auto* button = new QPushButton(FromUtf16(row.caption), Parent(row));
        button->setAutoDefault(true); // Enter presses the focused button, in a dialog or not
        button->setDefault((row.flags & kDefaultButton) != 0);
        Place(*button, row);
        button->installEventFilter(m_accessKeys);
        slot = button;
    }

private:
    QWidget* Parent(const ControlRow& row) const
    {
        return row.parent == nullptr ? &m_window : *row.parent;
    }

    // Name, geometry, font, accessible name, visibility and place in the tab order.
    void Place(QWidget& widget, const ControlRow& row)
    {
        const QString name = QString::fromLatin1(QByteArrayView(row.name));
        widget.setObjectName(row.index == kNoIndex ? name : name + QString::number(row.index));
        widget.setGeometry(ToPixels(row.left), ToPixels(row.top), ToPixels(row.width),
                           ToPixels(row.height));
        widget.setFont(MakeFont(row.font));
        widget.setAccessibleName(row.accessibleName.empty() ? WithoutAccessKey(row.caption)
                                                            : FromUtf16(row.accessibleName));
        if ((row.flags & kHidden) != 0) {
            widget.hide();
        }
        if ((widget.focusPolicy() & Qt::TabFocus) != 0) {
            if (m_previousInTabOrder != nullptr) {
                QWidget::setTabOrder(m_previousInTabOrder, &widget);
            }
            m_previousInTabOrder = &widget;
        }
    }

    QWidget& m_window;
    OptionButtonStyle* m_optionStyle;
    ImmediateAccessKey* m_accessKeys;
    QWidget* m_previousInTabOrder = nullptr;
};

} // namespace

QFont MakeFont(FontRole role)
{
    QFont font;
    // The ASCII-only Windows fonts come last: a password is ASCII and FitFontToCharacters fits it.
    if (role == FontRole::Fixed) {
        font.setFamilies({QStringLiteral(u"ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                          QStringLiteral("BIZ UDGothic"), QStringLiteral("IPAGothic"),
                          QStringLiteral(u"IPAゴシック"), QStringLiteral("Noto Sans Mono CJK JP"),
                          QStringLiteral("Consolas"), QStringLiteral("Courier New")});
        font.setFixedPitch(true);
        font.setStyleHint(QFont::TypeWriter);
    } else {
        font.setFamilies({QStringLiteral(u"ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                          QStringLiteral("Yu Gothic UI"), QStringLiteral("Meiryo UI"),
                          QStringLiteral("Meiryo"), QStringLiteral("MS UI Gothic"),
                          QStringLiteral("IPAPGothic"), QStringLiteral(u"IPA Pゴシック"),
                          QStringLiteral("Noto Sans CJK JP")});
    }
    const double points = role == FontRole::Small ? kSmallPoints : kNormalPoints;
    font.setPixelSize(qRound(points * kPixelsPerPoint));
    return font;
}

void FitFontToCharacters(QLabel& label, int characters)
{
    const int room = label.contentsRect().width();
    QFont font = label.font();
    int pixels = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    while (pixels > kSmallestFittedPixels && WidestRunWidth(font, characters) > room) {
        font.setPixelSize(--pixels);
    }
    label.setFont(font);
}

void BuildControls(QWidget& window, std::span<const ControlRow> rows)
{
    Builder builder(window);
    for (const ControlRow& row : rows) {
        std::visit([&](auto* slot) { builder.Add(row, *slot); }, row.control);
    }
}

} // namespace cipherloom::layout
