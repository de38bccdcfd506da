#include "windows/OptWin.h"

#include "generation/range_check.h"
#include "windows/accessibility.h"
#include "windows/layout.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QHideEvent>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace cipherloom {
namespace {

using layout::FontRole;
using layout::kNoIndex;

constexpr FontRole N = FontRole::Normal;
constexpr FontRole S = FontRole::Small;

void MakeControls(QWidget& window, OptControls& ui)
{
    // clang-format off
    const layout::ControlRow rows[] = {
        // The columns of layout::ControlRow; in tab order.
        {"Switch",   &ui.Switch,   0,        u"無効(&0)",       240,  360,  1095, 255,  {},         N,    layout::kChecked,                     {}},
        {"Switch",   &ui.Switch,   1,        u"先頭(&1)",       1440, 360,  1095, 255,  {},         N,    0,                                    {}},
        {"Switch",   &ui.Switch,   2,        u"末尾(&2)",       2640, 360,  1095, 255,  {},         N,    0,                                    {}},
        {"Switch",   &ui.Switch,   3,        u"範囲指定(&3)",   3840, 360,  1575, 255,  {},         N,    0,                                    {}},
        {"SPos",     &ui.SPos,     kNoIndex, u"",               4320, 720,  495,  375,  {},         N,    layout::kHidden,                      u"範囲の開始"},
        {"Label1",   &ui.Label1,   kNoIndex, u"～",             4920, 840,  255,  255,  {},         N,    layout::kHidden,                      {}},
        {"EPos",     &ui.EPos,     kNoIndex, u"",               5280, 720,  495,  375,  {},         N,    layout::kHidden,                      u"範囲の終了"},
        {"Frame2",   &ui.Frame2,   kNoIndex, u"",               360,  1440, 5895, 735,  {},         N,    layout::kHidden | layout::kNoBorder,  u"文字の種類"},
        {"Type",     &ui.Type,     0,        u"数字(&Q)",       0,    240,  1215, 375,  &ui.Frame2, N,    layout::kChecked,                     {}},
        {"Type",     &ui.Type,     1,        u"英字(&W)",       1200, 240,  1215, 375,  &ui.Frame2, N,    0,                                    {}},
        {"Type",     &ui.Type,     2,        u"英数字(&E)",     2400, 240,  1455, 375,  &ui.Frame2, N,    0,                                    {}},
        {"Type",     &ui.Type,     3,        u"英数字記号(&R)", 3840, 240,  1815, 375,  &ui.Frame2, N,    0,                                    {}},
        {"Frame1",   &ui.Frame1,   kNoIndex, u"英字について",   1320, 2400, 4575, 735,  {},         S,    layout::kHidden,                      {}},
        {"Opt",      &ui.Opt,      0,        u"全て(&A)",       120,  240,  975,  375,  &ui.Frame1, S,    layout::kChecked,                     {}},
        {"Opt",      &ui.Opt,      1,        u"小文字のみ(&S)", 1200, 240,  1575, 375,  &ui.Frame1, S,    0,                                    {}},
        {"Opt",      &ui.Opt,      2,        u"大文字のみ(&D)", 2880, 240,  1575, 375,  &ui.Frame1, S,    0,                                    {}},
        {"Command1", &ui.Command1, kNoIndex, u"OK",             360,  3480, 1575, 495,  {},         N,    layout::kDefaultButton,               {}},
        {"Command2", &ui.Command2, kNoIndex, u"Cancel",         4320, 3480, 1575, 495,  {},         N,    0,                                    {}},
    };
    // clang-format on
    layout::BuildControls(window, rows);
}

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
    setWindowIcon(QIcon()); // not the main window's
    setFixedSize(layout::ToPixels(kClientWidthTwips), layout::ToPixels(kClientHeightTwips));

    MakeControls(*this, m_ui);
    connect(m_ui.Switch, &QButtonGroup::idClicked, this, &OptWin::Switch_Click);
    connect(m_ui.Type, &QButtonGroup::idClicked, this, &OptWin::Type_Click);
    connect(m_ui.Opt, &QButtonGroup::idClicked, this, &OptWin::Opt_Click);
    connect(m_ui.Command1, &QPushButton::clicked, this, &OptWin::Command1_Click);
    connect(m_ui.Command2, &QPushButton::clicked, this, &OptWin::Command2_Click);
}

void OptWin::Switch_Click(int Index)
{
    const auto mode = static_cast<PositionMode>(Index);
    const bool special = mode != PositionMode::Off;
    const bool range = mode == PositionMode::Range;
    m_ui.SPos->setVisible(range);
    m_ui.Label1->setVisible(range);
    m_ui.EPos->setVisible(range);
    m_ui.Frame2->setVisible(special);
    m_ui.Frame1->setVisible(special && m_settings.SpecialType != CharClass::Digits);
    m_settings.SwitchMode = mode;
}

void OptWin::Type_Click(int Index)
{
    m_ui.Frame1->setVisible(Index != static_cast<int>(CharClass::Digits));
    m_settings.SpecialType = static_cast<CharClass>(Index);
}

void OptWin::Opt_Click(int Index)
{
    m_settings.SpecialOpt = static_cast<CaseOpt>(Index);
}

void OptWin::Command1_Click()
{
    if (m_settings.SwitchMode != PositionMode::Range) {
        accept();
        return;
    }
    const RangeCheckResult result =
        CheckRange(m_ui.SPos->text().toStdU16String(), m_ui.EPos->text().toStdU16String());
    if (!result.ok) {
        m_services.MsgBox(result.message);
        (result.focus == RangeField::End ? m_ui.EPos : m_ui.SPos)->setFocus();
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
    m_ui.Switch->button(off)->setChecked(true);
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
    // QDialog centres itself on every showing unless the position was set: it stays where left.
    if (!event->spontaneous()) {
        move(pos());
    }
}

} // namespace cipherloom
