#include "windows/OptWin.h"

#include "generation/range_check.h"
#include "windows/accessibility.h"
#include "windows/layout.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHideEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <array>

namespace cipherloom {
namespace {

using layout::ControlRow;
using layout::FontRole;
using layout::Kind;
using layout::kNoIndex;

constexpr FontRole N = FontRole::Normal;
constexpr FontRole S = FontRole::Small;

// clang-format off
constexpr std::array kControls{
    // name, kind, Index, caption, left, top, width, height (twips), parent frame, font, flags,
    // accessible name; in tab order.
    ControlRow{"Switch",   Kind::OptionButton, 0,        u"無効(&0)",       240,  360,  1095, 255,  {},       N,    layout::kChecked,                     {}},
    ControlRow{"Switch",   Kind::OptionButton, 1,        u"先頭(&1)",       1440, 360,  1095, 255,  {},       N,    0,                                    {}},
    ControlRow{"Switch",   Kind::OptionButton, 2,        u"末尾(&2)",       2640, 360,  1095, 255,  {},       N,    0,                                    {}},
    ControlRow{"Switch",   Kind::OptionButton, 3,        u"範囲指定(&3)",   3840, 360,  1575, 255,  {},       N,    0,                                    {}},
    ControlRow{"SPos",     Kind::NumberField,  kNoIndex, u"",               4320, 720,  495,  375,  {},       N,    layout::kHidden,                      u"範囲の開始"},
    ControlRow{"Label1",   Kind::Label,        kNoIndex, u"～",             4920, 840,  255,  255,  {},       N,    layout::kHidden,                      {}},
    ControlRow{"EPos",     Kind::NumberField,  kNoIndex, u"",               5280, 720,  495,  375,  {},       N,    layout::kHidden,                      u"範囲の終了"},
    ControlRow{"Frame2",   Kind::Frame,        kNoIndex, u"",               360,  1440, 5895, 735,  {},       N,    layout::kHidden | layout::kNoBorder,  u"文字の種類"},
    ControlRow{"Type",     Kind::OptionButton, 0,        u"数字(&Q)",       0,    240,  1215, 375,  "Frame2", N,    layout::kChecked,                     {}},
    ControlRow{"Type",     Kind::OptionButton, 1,        u"英字(&W)",       1200, 240,  1215, 375,  "Frame2", N,    0,                                    {}},
    ControlRow{"Type",     Kind::OptionButton, 2,        u"英数字(&E)",     2400, 240,  1455, 375,  "Frame2", N,    0,                                    {}},
    ControlRow{"Type",     Kind::OptionButton, 3,        u"英数字記号(&R)", 3840, 240,  1815, 375,  "Frame2", N,    0,                                    {}},
    ControlRow{"Frame1",   Kind::Frame,        kNoIndex, u"英字について",   1320, 2400, 4575, 735,  {},       S,    layout::kHidden,                      {}},
    ControlRow{"Opt",      Kind::OptionButton, 0,        u"全て(&A)",       120,  240,  975,  375,  "Frame1", S,    layout::kChecked,                     {}},
    ControlRow{"Opt",      Kind::OptionButton, 1,        u"小文字のみ(&S)", 1200, 240,  1575, 375,  "Frame1", S,    0,                                    {}},
    ControlRow{"Opt",      Kind::OptionButton, 2,        u"大文字のみ(&D)", 2880, 240,  1575, 375,  "Frame1", S,    0,                                    {}},
    ControlRow{"Command1", Kind::Button,       kNoIndex, u"OK",             360,  3480, 1575, 495,  {},       N,    layout::kDefaultButton,               {}},
    ControlRow{"Command2", Kind::Button,       kNoIndex, u"Cancel",         4320, 3480, 1575, 495,  {},       N,    0,                                    {}},
};
// clang-format on

constexpr int kClientWidthTwips = 6390;
constexpr int kClientHeightTwips = 4215;

// A fixed dialog frame with a close box only; with a parent it stays out of the task bar.
constexpr Qt::WindowFlags kDialogFlags = Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint |
                                         Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                         Qt::WindowCloseButtonHint;

} // namespace

OptWin::OptWin(GenerationSettings& settings, RuntimeServices& services, QWidget* parent)
    : QDialog(parent, kDialogFlags), m_settings(settings), m_services(services)
{
    accessibility::InstallWindowInterfaces();
    setObjectName(QStringLiteral("OptWin"));
    setWindowTitle(QStringLiteral(u"オプション"));
    // An explicit empty icon; otherwise the dialog would inherit the main window's.
    setWindowIcon(QIcon());
    setFixedSize(layout::ToPixels(kClientWidthTwips), layout::ToPixels(kClientHeightTwips));

    const layout::Controls controls = layout::BuildControls(*this, kControls);
    m_switch = controls.Group("Switch");
    m_sPos = controls.Get<QLineEdit>("SPos");
    m_label1 = controls.Get<QLabel>("Label1");
    m_ePos = controls.Get<QLineEdit>("EPos");
    m_frame2 = controls.Get<QWidget>("Frame2");
    m_frame1 = controls.Get<QGroupBox>("Frame1");

    connect(m_switch, &QButtonGroup::idClicked, this, &OptWin::Switch_Click);
    connect(controls.Group("Type"), &QButtonGroup::idClicked, this, &OptWin::Type_Click);
    connect(controls.Group("Opt"), &QButtonGroup::idClicked, this, &OptWin::Opt_Click);
    connect(controls.Get<QPushButton>("Command1"), &QPushButton::clicked, this,
            &OptWin::Command1_Click);
    connect(controls.Get<QPushButton>("Command2"), &QPushButton::clicked, this,
            &OptWin::Command2_Click);
}

OptWin::~OptWin() = default;

void OptWin::Switch_Click(int Index)
{
    const bool special = Index != static_cast<int>(PositionMode::Off);
    const bool range = Index == static_cast<int>(PositionMode::Range);
    m_sPos->setVisible(range);
    m_label1->setVisible(range);
    m_ePos->setVisible(range);
    m_frame2->setVisible(special);
    m_frame1->setVisible(special &&
                         m_settings.SpecialType != static_cast<std::uint8_t>(CharClass::Digits));
    m_settings.SwitchMode = static_cast<std::uint8_t>(Index);
}

void OptWin::Type_Click(int Index)
{
    m_frame1->setVisible(Index != static_cast<int>(CharClass::Digits));
    m_settings.SpecialType = static_cast<std::uint8_t>(Index);
}

void OptWin::Opt_Click(int Index)
{
    m_settings.SpecialOpt = static_cast<std::uint8_t>(Index);
}

void OptWin::Command1_Click()
{
    if (m_settings.SwitchMode != static_cast<std::uint8_t>(PositionMode::Range)) {
        accept();
        return;
    }
    const RangeCheckResult result =
        CheckRange(m_sPos->text().toStdU16String(), m_ePos->text().toStdU16String());
    if (!result.ok) {
        m_services.MsgBox(result.message);
        (result.focus == RangeField::End ? m_ePos : m_sPos)->setFocus();
        return;
    }
    m_settings.RangeStart = result.start;
    m_settings.RangeEnd = result.end;
    accept();
}

void OptWin::Command2_Click()
{
    // setChecked() does not report a click, so the click's effect is applied here.
    const int off = static_cast<int>(PositionMode::Off);
    m_switch->button(off)->setChecked(true);
    Switch_Click(off);
    QDialog::reject();
}

void OptWin::reject()
{
    Command2_Click();
}

void OptWin::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    // QDialog centres itself on every showing unless its position was set explicitly; pinning
    // it here brings it back where the user left it.
    if (!event->spontaneous()) {
        move(pos());
    }
}

} // namespace cipherloom
