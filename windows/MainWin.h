#pragma once

#include "generation/Cipherloom_Main.h"
#include "generation/generate_command.h"
#include "runtime/runtime_services.h"

#include <QWidget>

#include <string>
#include <string_view>

class QButtonGroup;
class QCloseEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace cipherloom {

class OptWin;

// The main window's controls, made from its layout table; an option array is its group.
struct MainControls
{
    QLabel* Label1 = nullptr;
    QLineEdit* StrLength = nullptr;
    QLabel* Label2 = nullptr;
    QButtonGroup* Type = nullptr;
    QWidget* Frame1 = nullptr;
    QButtonGroup* Opt = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* PassWord = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
};

// The start-up window: length, class and case of ordinary positions, the last password and the
// Generate, Exit and Options buttons. It owns the run's GenerationSettings.
class MainWin final : public QWidget, public GenerateView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWin)

public:
    explicit MainWin(RuntimeServices& services, QWidget* parent = nullptr);
    ~MainWin() override;

    const GenerationSettings& Settings() const { return m_settings; }
    // Null until the Options button has been used once.
    OptWin* OptionsDialog() const { return m_optWin; }

    std::u16string LengthText() const override;
    void SetLengthReadOnly(bool readOnly) override;
    void ShowPassword(std::string_view password) override;

    void Type_Click(int Index);
    void Opt_Click(int Index);
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Form_Unload();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ClearClipboardIfPasswordShown();
    void ScrubPassword();
    void KeepGenerateDefault(QWidget* focused);

    RuntimeServices& m_services;
    GenerationSettings m_settings;
    MainControls m_ui;
    QMetaObject::Connection m_focusWatch;
    OptWin* m_optWin = nullptr;
};

} // namespace cipherloom
