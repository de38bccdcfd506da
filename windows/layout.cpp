#include "windows/layout.h"

#include <QButtonGroup>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QStyleOptionButton>
#include <QWidget>

namespace cipherloom::layout {
namespace {

// The number fields take a whole number of at most two digits.
constexpr int kNumberFieldMaxLength = 2;

// Fonts are sized in pixels at 96 dpi, like the twips, so text keeps its place in the fixed
// layout whatever DPI the platform reports.
constexpr double kPixelsPerPoint = 96.0 / 72.0;
constexpr double kNormalPoints = 12.0;
constexpr double kSmallPoints = 11.25;

// "(&X)" at the end of a caption.
constexpr std::size_t kAccessKeySuffixLength = 4;

// Windows draws a 13 px option circle with a 4 px gap before the caption; the layout was made
// for that, while Fusion takes 14 + 6 px and would cut the longer captions.
constexpr int kOptionIndicatorPixels = 13;
constexpr int kOptionLabelSpacingPixels = 4;

// The right-hand line of a captioned frame.
constexpr int kFrameBorderPixels = 1;

class OptionButtonStyle final : public QProxyStyle
{
public:
    OptionButtonStyle() = default;

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

// The stand-in fonts run a little wider than the Windows ones: an option button whose caption
// would be cut grows to the right, never past the edge of its frame or window.
void GrowToFitCaption(QRadioButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const QRect contents =
        button.style()->subElementRect(QStyle::SE_RadioButtonContents, &option, &button);
    const int textWidth = button.fontMetrics().size(Qt::TextShowMnemonic, button.text()).width();
    const int needed = button.width() - contents.width() + textWidth;
    if (needed <= button.width()) {
        return;
    }
    const QWidget* parent = button.parentWidget();
    const int border = qobject_cast<const QGroupBox*>(parent) != nullptr ? kFrameBorderPixels : 0;
    const int limit = parent->width() - border - button.x();
    button.resize(qMin(needed, limit), button.height());
}

QString FromUtf16(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString ObjectName(const ControlRow& row)
{
    QString name = QString::fromLatin1(row.name.data(), static_cast<qsizetype>(row.name.size()));
    if (row.index != kNoIndex) {
        name += QString::number(row.index);
    }
    return name;
}

QWidget* MakeLabel(const ControlRow& row, QWidget* parent)
{
    auto* label = new QLabel(parent);
    // Plain text: a password such as "<b>" must never be read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(FromUtf16(row.caption));
    if ((row.flags & kDisplay) != 0) {
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        label->setLineWidth(1);
        label->setAutoFillBackground(true);
        // The text-field white, which Windows calls the window background.
        label->setBackgroundRole(QPalette::Base);
        label->setAlignment(Qt::AlignCenter);
    }
    return label;
}

QWidget* MakeNumberField(const ControlRow& row, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setMaxLength(kNumberFieldMaxLength);
    field->setText(FromUtf16(row.caption));
    // Digits only: no input method composition on focus.
    field->setAttribute(Qt::WA_InputMethodEnabled, false);
    field->setInputMethodHints(Qt::ImhDigitsOnly);
    return field;
}

QWidget* MakeFrame(const ControlRow& row, QWidget* parent)
{
    if ((row.flags & kNoBorder) != 0) {
        return new QWidget(parent);
    }
    return new QGroupBox(FromUtf16(row.caption), parent);
}

QWidget* MakeButton(const ControlRow& row, QWidget* parent)
{
    auto* button = new QPushButton(FromUtf16(row.caption), parent);
    // Enter presses the focused button, as on Windows, in a dialog or not.
    button->setAutoDefault(true);
    button->setDefault((row.flags & kDefaultButton) != 0);
    return button;
}

QWidget* MakeWidget(const ControlRow& row, QWidget* parent)
{
    switch (row.kind) {
    case Kind::Label:
        return MakeLabel(row, parent);
    case Kind::NumberField:
        return MakeNumberField(row, parent);
    case Kind::OptionButton:
        return new QRadioButton(FromUtf16(row.caption), parent);
    case Kind::Frame:
        return MakeFrame(row, parent);
    case Kind::Button:
        return MakeButton(row, parent);
    }
    Q_UNREACHABLE();
}

} // namespace

int ToPixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

QFont MakeFont(FontRole role)
{
    QFont font;
    if (role == FontRole::Fixed) {
        font.setFamilies({QStringLiteral(u"ＭＳ ゴシック"), QStringLiteral("MS Gothic"),
                          QStringLiteral("IPAGothic"), QStringLiteral(u"IPAゴシック"),
                          QStringLiteral("Noto Sans Mono CJK JP")});
        font.setFixedPitch(true);
        font.setStyleHint(QFont::TypeWriter);
    } else {
        font.setFamilies({QStringLiteral(u"ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                          QStringLiteral("IPAPGothic"), QStringLiteral(u"IPA Pゴシック"),
                          QStringLiteral("Noto Sans CJK JP")});
    }
    const double points = role == FontRole::Small ? kSmallPoints : kNormalPoints;
    font.setPixelSize(qRound(points * kPixelsPerPoint));
    return font;
}

QString WithoutAccessKey(std::u16string_view caption)
{
    if (caption.size() >= kAccessKeySuffixLength &&
        caption.substr(caption.size() - kAccessKeySuffixLength, 2) == u"(&" &&
        caption.back() == u')') {
        caption.remove_suffix(kAccessKeySuffixLength);
    }
    return FromUtf16(caption);
}

QButtonGroup* Controls::Group(std::string_view name) const
{
    for (const GroupEntry& entry : m_groups) {
        if (entry.name == name) {
            return entry.group;
        }
    }
    FailLookup(name);
}

QWidget* Controls::Find(std::string_view name, int index) const
{
    for (const Entry& entry : m_widgets) {
        if (entry.name == name && entry.index == index) {
            return entry.widget;
        }
    }
    return nullptr;
}

void Controls::FailLookup(std::string_view name)
{
    // A window asking for a control its own table lacks is a programming error.
    qFatal("layout: no control named %.*s of the expected kind", static_cast<int>(name.size()),
           name.data());
}

Controls BuildControls(QWidget& window, std::span<const ControlRow> rows)
{
    Controls controls;
    QWidget* previousInTabOrder = nullptr;
    auto* optionStyle = new OptionButtonStyle;
    optionStyle->setParent(&window);

    for (const ControlRow& row : rows) {
        QWidget* parent = row.parent.empty() ? &window : controls.Find(row.parent, kNoIndex);
        if (parent == nullptr) {
            Controls::FailLookup(row.parent);
        }

        QWidget* widget = MakeWidget(row, parent);
        widget->setObjectName(ObjectName(row));
        widget->setGeometry(ToPixels(row.left), ToPixels(row.top), ToPixels(row.width),
                            ToPixels(row.height));
        widget->setFont(MakeFont(row.font));
        widget->setAccessibleName(row.accessibleName.empty() ? WithoutAccessKey(row.caption)
                                                             : FromUtf16(row.accessibleName));

        if (row.kind == Kind::OptionButton) {
            QButtonGroup* group = nullptr;
            for (const Controls::GroupEntry& entry : controls.m_groups) {
                if (entry.name == row.name) {
                    group = entry.group;
                }
            }
            if (group == nullptr) {
                group = new QButtonGroup(&window);
                group->setExclusive(true);
                controls.m_groups.push_back({row.name, group});
            }
            auto* button = static_cast<QRadioButton*>(widget);
            group->addButton(button, row.index);
            button->setChecked((row.flags & kChecked) != 0);
            button->setStyle(optionStyle);
            GrowToFitCaption(*button);
        }

        if ((row.flags & kHidden) != 0) {
            widget->hide();
        }

        if ((widget->focusPolicy() & Qt::TabFocus) != 0) {
            if (previousInTabOrder != nullptr) {
                QWidget::setTabOrder(previousInTabOrder, widget);
            }
            previousInTabOrder = widget;
        }

        controls.m_widgets.push_back({row.name, row.index, widget});
    }
    return controls;
}

} // namespace cipherloom::layout
