#include "windows/MainWin.h"

#include "generation/password_generator.h"
#include "runtime/wipe_qt.h"
#include "windows/OptWin.h"
#include "windows/accessibility.h"
#include "windows/layout.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFile>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <array>

namespace cipherloom {
namespace {

using layout::FontRole;
using layout::kNoIndex;

constexpr FontRole N = FontRole::Normal;
constexpr FontRole S = FontRole::Small;

void MakeControls(QWidget& window, MainControls& ui)
{
    // clang-format off
    const layout::ControlRow rows[] = {
        // The columns of layout::ControlRow; in tab order.
        {"Label1",    &ui.Label1,    kNoIndex, u"文字数(&L)",     360,  480,  975,  255,  {},         S,               0,                      {}},
        {"StrLength", &ui.StrLength, kNoIndex, u"8",              1440, 360,  495,  375,  {},         N,               0,                      u"文字数"},
        {"Label2",    &ui.Label2,    kNoIndex, u"（1～32）",      2040, 480,  975,  255,  {},         N,               0,                      {}},
        {"Type",      &ui.Type,      0,        u"数字(&Q)",       360,  1200, 1215, 375,  {},         N,               layout::kChecked,       {}},
        {"Type",      &ui.Type,      1,        u"英字(&W)",       1560, 1200, 1215, 375,  {},         N,               0,                      {}},
        {"Type",      &ui.Type,      2,        u"英数字(&E)",     2760, 1200, 1455, 375,  {},         N,               0,                      {}},
        {"Type",      &ui.Type,      3,        u"英数字記号(&R)", 4200, 1200, 1815, 375,  {},         N,               0,                      {}},
        {"Frame1",    &ui.Frame1,    kNoIndex, u"英字について",   1320, 1680, 4575, 735,  {},         S,               layout::kHidden,        {}},
        {"Opt",       &ui.Opt,       0,        u"全て(&A)",       120,  240,  975,  375,  &ui.Frame1, S,               layout::kChecked,       {}},
        {"Opt",       &ui.Opt,       1,        u"小文字のみ(&S)", 1200, 240,  1575, 375,  &ui.Frame1, S,               0,                      {}},
        {"Opt",       &ui.Opt,       2,        u"大文字のみ(&D)", 2880, 240,  1575, 375,  &ui.Frame1, S,               0,                      {}},
        {"Label4",    &ui.Label4,    kNoIndex, u"パスワード",     480,  2760, 1095, 255,  {},         N,               0,                      {}},
        {"PassWord",  &ui.PassWord,  kNoIndex, u"",               1680, 2640, 4215, 375,  {},         FontRole::Fixed, layout::kDisplay,       {}},
        {"Command1",  &ui.Command1,  kNoIndex, u"生成(&C)",       480,  3480, 1335, 495,  {},         N,               layout::kDefaultButton, {}},
        {"Command2",  &ui.Command2,  kNoIndex, u"終了(&X)",       4440, 3480, 1335, 495,  {},         N,               0,                      {}},
        {"Command3",  &ui.Command3,  kNoIndex, u"オプション(&O)", 4200, 240,  1815, 495,  {},         N,               0,                      {}},
    };
    // clang-format on
    layout::BuildControls(window, rows);
}

constexpr std::u16string_view kClipboardNotClearedMessage =
    u"クリップボードを消去できませんでした。";

constexpr int kClientWidthTwips = 6390;
constexpr int kClientHeightTwips = 4215;

constexpr Qt::WindowFlags kWindowFlags = Qt::Window | Qt::CustomizeWindowHint |
                                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowCloseButtonHint;

// Larger sizes come from the icon theme: Qt hands every size to the window system at start.
constexpr std::array kIconFiles{":/icons/cipherloom-16.png", ":/icons/cipherloom-32.png"};

QIcon LoadWindowIcon()
{
    QIcon icon;
    for (const char* file : kIconFiles) {
        const QString path = QString::fromLatin1(file);
        if (QFile::exists(path)) {
            icon.addFile(path);
        }
    }
    return icon;
}

} // namespace

MainWin::MainWin(RuntimeServices& services, QWidget* parent)
    : QWidget(parent, kWindowFlags), m_services(services)
{
    accessibility::InstallWindowInterfaces();
    setObjectName(QStringLiteral("MainWin"));
    setWindowTitle(QStringLiteral("Cipherloom"));
    if (const QIcon icon = LoadWindowIcon(); !icon.isNull()) {
        setWindowIcon(icon);
    }
    setFixedSize(layout::ToPixels(kClientWidthTwips), layout::ToPixels(kClientHeightTwips));

    MakeControls(*this, m_ui);
    m_ui.Label1->setBuddy(m_ui.StrLength); // Alt+L
    // A screen reader reads the password as the display's name and its label as the description.
    m_ui.Label4->setBuddy(m_ui.PassWord);
    m_ui.PassWord->setAccessibleDescription(m_ui.Label4->text());
    layout::FitFontToCharacters(*m_ui.PassWord, kMaxLength);

    connect(m_ui.Type, &QButtonGroup::idClicked, this, &MainWin::Type_Click);
    connect(m_ui.Opt, &QButtonGroup::idClicked, this, &MainWin::Opt_Click);
    connect(m_ui.Command1, &QPushButton::clicked, this, &MainWin::Command1_Click);
    connect(m_ui.Command2, &QPushButton::clicked, this, &MainWin::Command2_Click);
    connect(m_ui.Command3, &QPushButton::clicked, this, &MainWin::Command3_Click);

    // After the button's own focus handling, which drops the default flag outside a dialog.
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this,
                           [this](QWidget* /*old*/, QWidget* now) { KeepGenerateDefault(now); });

    m_ui.StrLength->setFocus();
}

MainWin::~MainWin()
{
    // The controls move the focus as they go, before QObject would drop the connection.
    disconnect(m_focusWatch);
}

std::u16string MainWin::LengthText() const
{
    return m_ui.StrLength->text().toStdU16String();
}

void MainWin::SetLengthReadOnly(bool readOnly)
{
    m_ui.StrLength->setReadOnly(readOnly);
    // setReadOnly() turns the input method back on; the field takes digits only.
    m_ui.StrLength->setAttribute(Qt::WA_InputMethodEnabled, false);
}

void MainWin::ShowPassword(std::string_view password)
{
    ScrubPassword();
    m_ui.PassWord->setText(
        QString::fromLatin1(password.data(), static_cast<qsizetype>(password.size())));
}

void MainWin::Type_Click(int Index)
{
    // MainOpt stays as it is while the frame is hidden.
    m_ui.Frame1->setVisible(Index != static_cast<int>(CharClass::Digits));
    m_settings.MainType = static_cast<CharClass>(Index);
}

void MainWin::Opt_Click(int Index)
{
    m_settings.MainOpt = static_cast<CaseOpt>(Index);
}

void MainWin::Command1_Click()
{
    RunGenerate(*this, m_settings, m_services);
}

void MainWin::Command2_Click()
{
    Form_Unload();
}

void MainWin::Command3_Click()
{
    if (m_optWin == nullptr) {
        m_optWin = new OptWin(m_settings, m_services, this);
    }
    m_optWin->exec();
}

void MainWin::Form_Unload()
{
    ClearClipboardIfPasswordShown();
    m_services.End();
}

void MainWin::keyPressEvent(QKeyEvent* event)
{
    // Only a QDialog has a default button; fields and option buttons pass Enter on to here.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        event->accept();
        Command1_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MainWin::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

void MainWin::ClearClipboardIfPasswordShown()
{
    // A password made in this run may still be on the clipboard; anything else is left alone.
    if (m_ui.PassWord->text().isEmpty()) {
        return;
    }
    if (!m_services.ClearClipboard()) {
        // The password would outlive the program: say so, and try again once the box is gone.
        m_services.MsgBox(kClipboardNotClearedMessage);
        static_cast<void>(m_services.ClearClipboard());
    }
    ScrubPassword();
}

void MainWin::ScrubPassword()
{
    // text() shares the label's buffer: the zeros land in the label's own copy.
    WipeInPlace(m_ui.PassWord->text());
}

void MainWin::KeepGenerateDefault(QWidget* focused)
{
    // As in a dialog: a focused other push button is the default, elsewhere Generate is.
    auto* button = qobject_cast<QPushButton*>(focused);
    const bool otherButton =
        button != nullptr && button != m_ui.Command1 && button->window() == this;
    if (focused == nullptr || focused->window() == this) {
        m_ui.Command1->setDefault(!otherButton);
    }
}

} // namespace cipherloom
