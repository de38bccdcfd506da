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

const QString kProgramName = QStringLiteral("Cipherloom");

#if defined(Q_OS_WIN)
// Clipboard viewers and managers open the clipboard for a few milliseconds after every change;
// one second covers them without making Exit feel stuck.
constexpr std::chrono::milliseconds kClearBudget{1000};
constexpr std::chrono::milliseconds kClearPause{25};
#endif

// A refused claim is retried a few times, with a pause between claims, but never after the
// budget is spent (Qt on Windows itself spends up to 300 ms on one claim): a failure is reported
// while the user still looks at the window.
constexpr int kClipboardClaims = 5;
constexpr std::chrono::milliseconds kClaimPause{60};
constexpr std::chrono::milliseconds kClaimBudget{400};
constexpr std::chrono::milliseconds kEventPoll{5};

// Takes in what the window system reported meanwhile: on X11 the newer owner's timestamp arrives
// as an event, and only a claim at least that new is accepted. Input and timers wait, so no
// click (Exit included) runs in the middle of Generate.
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

// ownsClipboard()/ownsSelection() trust Qt's record of its last claim, which X11 leaves set when
// the server ignored that claim. Another program's data is always read through Qt's internal
// reader type.
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

// Deleted by Qt when the clipboard no longer needs it: on replace, when another program takes
// the clipboard, on clear and at exit.
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
    // The services outlive the windows and go just before QApplication: the last moment the
    // display connection can still be settled.
    WaitForCompositor();
}

void QtRuntime::MsgBox(std::u16string_view prompt)
{
    // Parent on the active window so the box is modal over the options dialog too.
    QMessageBox box(QMessageBox::NoIcon, kProgramName,
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
    // clear() gives up the selection (and, on X11, also empties another program's); setText("")
    // would keep owning it with an empty text, and a clipboard manager would then stall the exit.
    QGuiApplication::clipboard()->clear();
    ScrubLeftoverOffer(nullptr);
#if defined(Q_OS_WIN)
    // Qt gives up after three tries while another program holds the clipboard open, leaving
    // rendered text behind after exit; empty it directly. The window keeps painting while it
    // waits; clicks wait until it is done.
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
    // One step, never clear first: a clipboard manager restores its last entry into an empty
    // clipboard with a newer timestamp, and X11 then ignores our claim.
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
        // Qt deletes the payload as soon as another program's data replaces it, which can happen
        // inside setMimeData() itself.
        const QPointer<QMimeData> offered(data);
        clipboard->setMimeData(data);
        ScrubLeftoverOffer(offered);
        // The platform hands back our own object only while the window system says we own the
        // clipboard; ownsClipboard() is no proof (X11 keeps it true after a refused claim, macOS
        // and offscreen always say false). Wayland hands it back at once; the check asks the
        // compositor.
        if (offered != nullptr && clipboard->mimeData() == offered && check.Kept()) {
            return true;
        }
    }
    return false;
}

void QtRuntime::End()
{
    // Owning a selection at exit makes Qt hand it to the clipboard manager and wait up to 5 s for
    // an answer (text selected in a field is ours as PRIMARY; text copied from a field is ours as
    // CLIPBOARD). On X11 and Wayland what we own goes with the process anyway, so give it up now;
    // Windows and macOS keep copied text after exit, and that is left to them.
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
    // Registered clipboard formats that Windows reads as "no history, no cloud, no monitors".
    // Bare names: Qt registers an unknown type under its name as given, and the
    // "application/x-qt-windows-mime;value=" form is only understood when reading.
    const QByteArray zeroDword(4, '\0');
    mime->setData(QStringLiteral("ExcludeClipboardContentFromMonitorProcessing"), zeroDword);
    mime->setData(QStringLiteral("CanIncludeInClipboardHistory"), zeroDword);
    mime->setData(QStringLiteral("CanUploadToCloudClipboard"), zeroDword);
#elif !defined(Q_OS_MACOS)
    // Klipper keeps text marked this way out of its history; CopyQ does the same for its own
    // mark. No other manager in Debian reads any mark. (None on macOS: Qt 6.4 renames a
    // custom type, so a concealed-type mark would only put the password there a second time.)
    mime->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    mime->setData(QStringLiteral("application/x-copyq-hidden"), QByteArrayLiteral("1"));
#endif
    return mime;
}

void QtRuntime::ScrubSecretMimeData(QMimeData& data)
{
    // The text is stored once, as a QString; what text() returns shares that buffer.
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
