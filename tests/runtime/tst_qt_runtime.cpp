// The services on Qt under the offscreen platform: the real message box, the clipboard
// payload and its marks, and the system random source's values.

#include "runtime/qt_runtime.h"
#include "runtime/system_random_source.h"
#include "tests/support/window_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QMimeData>
#include <QScopeGuard>
#include <QTest>

#include <cmath>
#include <set>

using namespace Qt::StringLiterals;
using namespace cipherloom;
using cipherloom::testing::OnNextModal;

class QtRuntimeTest final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void messageBox_data();
    void messageBox();
    void clipboardIsSetThenCleared_data();
    void clipboardIsSetThenCleared();
    void systemRandomValuesAreFloatsInUnitInterval();
};

void QtRuntimeTest::init()
{
    // The offscreen clipboard lives in the process and outlasts each test.
    QGuiApplication::clipboard()->clear();
}

void QtRuntimeTest::messageBox_data()
{
    QTest::addColumn<bool>("windowShown");

    QTest::newRow("titled, plain, one OK, over the window that is active") << true;
    QTest::newRow("the same on its own when no window is active") << false;
}

void QtRuntimeTest::messageBox()
{
    // Without the parent the box can open behind the options dialog, or on another screen.
    QFETCH(bool, windowShown);

    QWidget window;
    if (windowShown) {
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    QWidget* expected = windowShown ? &window : nullptr;
    QCOMPARE(QApplication::activeWindow(), expected);

    const QMessageBox* seen = nullptr;
    OnNextModal([&](QWidget* modal) {
        // Closed however the checks go, so that MsgBox() returns; its one button is OK and Esc.
        const auto close = qScopeGuard([modal] { modal->close(); });
        seen = qobject_cast<QMessageBox*>(modal);
        QVERIFY(seen != nullptr);
        QCOMPARE(seen->parentWidget(), expected);
        QCOMPARE(seen->windowTitle(), u"Cipherloom"_s);
        QCOMPARE(seen->text(), u"範囲指定が正しくありません。"_s);
        QCOMPARE(seen->icon(), QMessageBox::NoIcon);
        QCOMPARE(seen->buttons().size(), 1);
        QCOMPARE(seen->standardButton(seen->buttons().value(0)), QMessageBox::Ok);
        QVERIFY(seen->isModal());
    });

    QtRuntime runtime;
    // Qt's own texts are Japanese once the runtime is up.
    QCOMPARE(QCoreApplication::translate("QLineEdit", "Select All"), u"すべてを選択"_s);
    runtime.MsgBox(u"範囲指定が正しくありません。");
    QVERIFY(seen != nullptr);
}

void QtRuntimeTest::clipboardIsSetThenCleared_data()
{
    QTest::addColumn<int>("refusals");
    QTest::addColumn<bool>("copied");
    // The manager drops our payload before making its entry, so the entry can take its address.
    QTest::addColumn<bool>("reusesAddress");

    QTest::newRow("nobody else wants the clipboard") << 0 << true << false;
    QTest::newRow("a manager taking back the first claim is outlasted") << 1 << true << false;
    QTest::newRow("a manager taking back two claims is outlasted") << 2 << true << false;
    QTest::newRow("a manager taking back four claims is outlasted by the fifth")
        << 4 << true << false;
    QTest::newRow("a manager taking back five claims is reported") << 5 << false << false;
    QTest::newRow("a manager taking back every claim is reported") << 1000 << false << false;
    QTest::newRow("a manager entry at our freed payload's address is not taken for ours")
        << 1000 << false << true;
}

void QtRuntimeTest::clipboardIsSetThenCleared()
{
    QFETCH(int, refusals);
    QFETCH(bool, copied);
    QFETCH(bool, reusesAddress);
    const QString managers = u"the manager's last entry"_s;

    QtRuntime runtime;
    QClipboard* clipboard = QGuiApplication::clipboard();
    QVERIFY(runtime.SetClipboardText("first"));
    // Shares the payload's buffer, as any copy Qt made of the text would.
    const QString firstHeld = clipboard->mimeData()->text();

    // A clipboard manager that puts its own entry back the moment the program claims the
    // clipboard, as one restoring its history does. The offscreen clipboard reports a change at
    // once, so the claim is refused before the program looks.
    bool restoring = false;
    bool addressReused = false;
    const auto manager = connect(clipboard, &QClipboard::dataChanged, this, [&] {
        if (restoring || refusals == 0) {
            return;
        }
        --refusals;
        restoring = true;
        const auto ours = reinterpret_cast<quintptr>(clipboard->mimeData());
        if (reusesAddress) {
            clipboard->clear();
        }
        auto* entry = new QMimeData;
        addressReused = addressReused || reinterpret_cast<quintptr>(entry) == ours;
        entry->setText(managers);
        clipboard->setMimeData(entry);
        restoring = false;
    });
    const bool result = runtime.SetClipboardText("a&<b>~7!");
    disconnect(manager);

    QCOMPARE(result, copied);
    QCOMPARE(clipboard->text(), copied ? u"a&<b>~7!"_s : managers);
#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)
    // The marks that keep it out of the X11 and Wayland clipboard managers' history.
    const QMimeData* held = clipboard->mimeData();
    QCOMPARE(held->data(u"x-kde-passwordManagerHint"_s), copied ? "secret" : QByteArray());
    QCOMPARE(held->data(u"application/x-copyq-hidden"_s), copied ? "1" : QByteArray());
#endif
    // The replaced payload was overwritten before Qt let it go.
    QCOMPARE(firstHeld, QString(5, QChar()));

    const QString secondHeld = clipboard->mimeData()->text();
    QVERIFY(runtime.ClearClipboard());
    QVERIFY(clipboard->text().isEmpty());
    QVERIFY(clipboard->mimeData() == nullptr || clipboard->mimeData()->formats().isEmpty());
    // Only the program's own payload is overwritten, never what another program put there.
    QCOMPARE(secondHeld, copied ? QString(8, QChar()) : managers);
    if (reusesAddress && !addressReused) {
        QSKIP("this allocator keeps freed memory aside (ASan, memcheck)");
    }
}

void QtRuntimeTest::systemRandomValuesAreFloatsInUnitInterval()
{
    // 2^24: a float's significand; every value must be k / 2^24 with k < 2^24.
    constexpr double kSteps = 16777216.0;
    constexpr int kDraws = 4096;

    SystemRandomSource source;
    source.Reseed();
    std::set<float> distinct;
    for (int i = 0; i < kDraws; ++i) {
        const float r = source.Next();
        QVERIFY2(r >= 0.0F && r < 1.0F, qPrintable(QString::number(r)));
        const double scaled = static_cast<double>(r) * kSteps;
        QCOMPARE(scaled, std::floor(scaled));
        distinct.insert(r);
    }
    // Among 2^24 possible values, 4096 draws repeat about once on average.
    QVERIFY(distinct.size() >= kDraws - 16);
}

QTEST_MAIN(QtRuntimeTest)
#include "tst_qt_runtime.moc"
