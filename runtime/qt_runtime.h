#pragma once

#include "runtime/runtime_services.h"
#include "runtime/system_random_source.h"

#include <QtGlobal>

class QMimeData;

namespace cipherloom {

// The services on Qt Widgets: a QMessageBox, the system clipboard, the operating system's
// random generator and the application's event loop.
class QtRuntime final : public RuntimeServices
{
    Q_DISABLE_COPY_MOVE(QtRuntime)

public:
    QtRuntime() = default;
    // On Wayland, waits until the compositor has taken in what the program sent.
    ~QtRuntime() override;

    void MsgBox(std::u16string_view prompt) override;
    RandomSource& Random() override;
    void ClearClipboard() override;
    [[nodiscard]] bool SetClipboardText(std::string_view text) override;
    void End() override;

    // The clipboard payload: plain text plus the hints that keep it out of clipboard managers
    // and history. Exposed so the hints can be checked without a real clipboard.
    static QMimeData* MakeSecretMimeData(std::string_view text);

private:
    SystemRandomSource m_random;
};

} // namespace cipherloom
