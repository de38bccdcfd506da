#pragma once

#include "generation/Cipherloom_Main.h"
#include "runtime/runtime_services.h"

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QHideEvent;
class QLabel;
class QLineEdit;

namespace cipherloom {

// Gives the first, the last or a range of positions a class and case of their own. Clicks take
// effect at once; OK checks and stores the range, Cancel turns the special positions off.
// Created on first use, then hidden and reused, so it keeps its state between openings.
class OptWin final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OptWin)

public:
    explicit OptWin(GenerationSettings& settings, RuntimeServices& services, QWidget* parent);
    ~OptWin() override;

    void Switch_Click(int Index);
    void Type_Click(int Index);
    void Opt_Click(int Index);
    void Command1_Click();
    void Command2_Click();

    // Esc and the close box act as Cancel, so the dialog never comes back saying Range with
    // hidden, empty fields.
    void reject() override;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    GenerationSettings& m_settings;
    RuntimeServices& m_services;
    QButtonGroup* m_switch = nullptr;
    QLineEdit* m_sPos = nullptr;
    QLabel* m_label1 = nullptr;
    QLineEdit* m_ePos = nullptr;
    QWidget* m_frame2 = nullptr;
    QGroupBox* m_frame1 = nullptr;
};

} // namespace cipherloom
