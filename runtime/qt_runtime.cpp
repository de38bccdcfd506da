#include "runtime/qt_runtime.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QMimeData>
#include <QString>

namespace cipherloom {
namespace {

const QString kProgramName = QStringLiteral("Cipherloom");

} // namespace

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

void QtRuntime::ClearClipboard()
{
    // clear() gives up the selection (and, on X11, also empties another program's); setText("")
    // would keep owning it with an empty text, and a clipboard manager would then stall the exit.
    QGuiApplication::clipboard()->clear();
}

void QtRuntime::SetClipboardText(std::string_view text)
{
    QGuiApplication::clipboard()->setMimeData(MakeSecretMimeData(text));
}

void QtRuntime::End()
{
    QCoreApplication::exit(0);
}

QMimeData* QtRuntime::MakeSecretMimeData(std::string_view text)
{
    auto* mime = new QMimeData;
    mime->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
#if defined(Q_OS_WIN)
    // Registered clipboard formats that Windows reads as "no history, no cloud, no monitors".
    const QByteArray zeroDword(4, '\0');
    mime->setData(QStringLiteral("application/x-qt-windows-mime;value=\""
                                 "ExcludeClipboardContentFromMonitorProcessing\""),
                  zeroDword);
    mime->setData(
        QStringLiteral("application/x-qt-windows-mime;value=\"CanIncludeInClipboardHistory\""),
        zeroDword);
    mime->setData(
        QStringLiteral("application/x-qt-windows-mime;value=\"CanUploadToCloudClipboard\""),
        zeroDword);
#elif defined(Q_OS_MACOS)
    mime->setData(QStringLiteral("application/x-nspasteboard-concealed-type"),
                  QByteArray(text.data(), static_cast<qsizetype>(text.size())));
#else
    // Honoured by Klipper and other clipboard managers on X11 and Wayland.
    mime->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
#endif
    return mime;
}

} // namespace cipherloom
