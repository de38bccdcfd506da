#include "runtime/qt_runtime.h"

#include "runtime/compositor_sync.h"
#include "runtime/qt_translation.h"
#include "runtime/wipe_qt.h"

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QMimeData>
#include <QString>
#include <QThread>

#include <chrono>

#if defined(Q_OS_WIN)
#include "runtime/windows_clipboard.h"
#endif

namespace cipherloom {
namespace {

#if defined(Q_OS_WIN)
// Clipboard viewers open the clipboard briefly after every change; Exit must not feel stuck.
constexpr std::chrono::milliseconds kClearBudget{1000};
constexpr std::chrono::milliseconds kClearPause{25};
#endif

// Retries end with the budget, so a failure is reported while the user still looks.
constexpr int kClipboardClaims = 5;
constexpr std::chrono::milliseconds kClaimPause{60};
constexpr std::chrono::milliseconds kClaimBudget{400};
constexpr std::chrono::milliseconds kEventPoll{5};

// On X11 the newer owner's timestamp arrives as an event, and only a claim that new is accepted.
// Input and timers wait, so no click (Exit included) runs in the middle of Generate.
void TakeInWindowSystemEvents(std::chrono::milliseconds pause)
{
    constexpr auto kFlags = QEventLoop::ExcludeUserInputEvents | QEventLoop::X11ExcludeTimers;
    const QDeadlineTimer deadline(pause);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(kFlags);
        QThread::msleep(static_cast<unsigned long>(kEventPoll.count()));
    }
    QCoreApplication::processEvents(kFlags);
}

// ownsClipboard()/ownsSelection() stay true on X11 after an ignored claim; another program's
// data is always read through Qt's internal reader type.
bool Owns(const QClipboard& clipboard, QClipboard::Mode mode)
{
    const bool claimed = mode == QClipboard::Selection
                             ? clipboard.supportsSelection() && clipboard.ownsSelection()
                             : clipboard.ownsClipboard();
    if (!claimed) {
        return false;
    }
    const QMimeData* held = clipboard.mimeData(mode);
    return held != nullptr && !held->inherits("QInternalMimeData");
}

// Deleted by Qt when the clipboard no longer needs it.
class SecretMimeData final : public QMimeData
{
    Q_DISABLE_COPY_MOVE(SecretMimeData)

public:
    SecretMimeData() = default;
    ~SecretMimeData() override { QtRuntime::ScrubSecretMimeData(*this); }
};

} // namespace

QtRuntime::QtRuntime()
{
    InstallQtTranslation(m_qtTranslation);
}

QtRuntime::~QtRuntime()
{
    // The last moment before QApplication goes: the display connection can still be settled.
    WaitForCompositor();
}

void QtRuntime::MsgBox(std::u16string_view prompt)
{
    // Modal over the options dialog too.
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Cipherloom"),
                    QString::fromUtf16(prompt.data(), static_cast<qsizetype>(prompt.size())),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

RandomSource& QtRuntime::Random()
{
    return m_random;
}

bool QtRuntime::ClearClipboard()
{
    // Not setText(""): owning an empty selection would let a clipboard manager stall the exit.
    QGuiApplication::clipboard()->clear();
    ScrubLeftoverOffer(nullptr);
#if defined(Q_OS_WIN)
    // Qt gives up after three tries while another program holds it open: empty it directly.
    const QDeadlineTimer budget(kClearBudget);
    while (!TryEmptyWindowsClipboard()) {
        if (budget.hasExpired()) {
            return false;
        }
        TakeInWindowSystemEvents(kClearPause);
    }
#endif
    return true;
}

bool QtRuntime::SetClipboardText(std::string_view text)
{
    // Never clear first: a manager would restore its last entry, and X11 then ignores our claim.
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QDeadlineTimer budget(kClaimBudget);
    for (int claim = 0; claim < kClipboardClaims; ++claim) {
        if (claim > 0) {
            if (budget.hasExpired()) {
                break;
            }
            TakeInWindowSystemEvents(kClaimPause);
        }
        auto* data = MakeSecretMimeData(text);
        ClaimCheck check(*data);
        // Qt may delete the payload inside setMimeData() already.
        const QPointer<QMimeData> offered(data);
        clipboard->setMimeData(data);
        ScrubLeftoverOffer(offered);
        // Our own object comes back only while the window system says we own the clipboard
        // (ownsClipboard() is no proof); on Wayland the check asks the compositor.
        if (offered != nullptr && clipboard->mimeData() == offered && check.Kept()) {
            return true;
        }
    }
    return false;
}

void QtRuntime::End()
{
    // An owned selection makes Qt wait up to 5 s at exit for the clipboard manager. On X11 and
    // Wayland it goes with the process anyway; Windows and macOS keep copied text after exit.
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (Owns(*clipboard, QClipboard::Selection)) {
        clipboard->clear(QClipboard::Selection);
    }
#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
    if (Owns(*clipboard, QClipboard::Clipboard)) {
        clipboard->clear(QClipboard::Clipboard);
    }
#endif
    QCoreApplication::exit(0);
}

QMimeData* QtRuntime::MakeSecretMimeData(std::string_view text)
{
    auto* mime = new SecretMimeData;
    mime->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
#if defined(Q_OS_WIN)
    // No history, no cloud, no monitors. Bare names: Qt registers an unknown type as given.
    const QByteArray zeroDword(4, '\0');
    mime->setData(QStringLiteral("ExcludeClipboardContentFromMonitorProcessing"), zeroDword);
    mime->setData(QStringLiteral("CanIncludeInClipboardHistory"), zeroDword);
    mime->setData(QStringLiteral("CanUploadToCloudClipboard"), zeroDword);
#elif !defined(Q_OS_MACOS)
    // Klipper's and CopyQ's marks (docs/quality.md); none on macOS, where Qt 6.4 renames them.
    mime->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    mime->setData(QStringLiteral("application/x-copyq-hidden"), QByteArrayLiteral("1"));
#endif
    return mime;
}

void QtRuntime::ScrubSecretMimeData(QMimeData& data)
{
    // What text() returns shares the one stored QString's buffer.
    WipeInPlace(data.text());
    data.setText(QString());
}

void QtRuntime::ScrubLeftoverOffer(QMimeData* current)
{
    if (m_lastOffer != nullptr && m_lastOffer != current) {
        ScrubSecretMimeData(*m_lastOffer);
    }
    m_lastOffer = current;
}

} // namespace cipherloom
