#pragma once

#include "generation/Cipherloom_Main.h"
#include "runtime/runtime_services.h"

#include <QDialog>

class QButtonGroup;
class QHideEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace cipherloom {

// The options dialog's controls, made from its layout table; an option array is its group.
struct OptControls
{
    QButtonGroup* Switch = nullptr;
    QLineEdit* SPos = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* EPos = nullptr;
    QWidget* Frame2 = nullptr;
    QButtonGroup* Type = nullptr;
    QWidget* Frame1 = nullptr;
    QButtonGroup* Opt = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};

// Gives the first, the last or a range of positions a class and case of their own. Clicks take
// effect at once; OK checks and stores the range, Cancel turns them off. Reused between openings.
class OptWin final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OptWin)

public:
    explicit OptWin(GenerationSettings& settings, RuntimeServices& services, QWidget* parent);

    void Switch_Click(int Index);
    void Type_Click(int Index);
    void Opt_Click(int Index);
    void Command1_Click();
    void Command2_Click();

    // Esc and the close box act as Cancel: never Range with hidden, empty fields.
    void reject() override;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    GenerationSettings& m_settings;
    RuntimeServices& m_services;
    OptControls m_ui;
};

} // namespace cipherloom
