#pragma once

#include "runtime/runtime_services.h"
#include "runtime/system_random_source.h"

#include <QMimeData>
#include <QPointer>
#include <QTranslator>
#include <QtGlobal>

namespace cipherloom {

// The services on Qt Widgets: a QMessageBox, the system clipboard, the operating system's
// random generator and the application's event loop.
class QtRuntime final : public RuntimeServices
{
    Q_DISABLE_COPY_MOVE(QtRuntime)

public:
    // Installs Qt's own Japanese texts; call once QApplication exists.
    QtRuntime();
    // On Wayland, waits until the compositor has taken in what the program sent.
    ~QtRuntime() override;

    void MsgBox(std::u16string_view prompt) override;
    RandomSource& Random() override;
    [[nodiscard]] bool ClearClipboard() override;
    [[nodiscard]] bool SetClipboardText(std::string_view text) override;
    void End() override;

    // The clipboard payload: plain text plus the hints that keep it out of clipboard managers and
    // history; its text is overwritten when it is deleted. Public for tests.
    static QMimeData* MakeSecretMimeData(std::string_view text);
    // Overwrites the payload's text in place, in every holder of that text.
    static void ScrubSecretMimeData(QMimeData& data);

private:
    // Scrubs the payload Qt keeps alive after the clipboard moved on (Qt 6.4 on Wayland).
    void ScrubLeftoverOffer(QMimeData* current);

    SystemRandomSource m_random;
    QTranslator m_qtTranslation;
    QPointer<QMimeData> m_lastOffer;
};

} // namespace cipherloom
