// The Wayland claim check's verdict from what the compositor answered; the sway scenarios in
// tests/e2e/wayland.sh drive the real protocol.

#include "runtime/compositor_sync.h"

#include <QTest>

using cipherloom::Announced;

class CompositorSyncTest final : public QObject
{
    Q_OBJECT

private slots:
    void claimIsConfirmedOnlyByAnAnsweringCompositor_data();
    void claimIsConfirmedOnlyByAnAnsweringCompositor();
};

void CompositorSyncTest::claimIsConfirmedOnlyByAnAnsweringCompositor_data()
{
    QTest::addColumn<bool>("roundTripDone");
    QTest::addColumn<Announced>("last");
    QTest::addColumn<bool>("confirmed");

    QTest::newRow("the compositor holds our marked claim") << true << Announced::OurClaim << true;
    QTest::newRow("the compositor kept another program's copy")
        << true << Announced::OtherData << false;
    QTest::newRow("a compositor that announced nothing leaves Qt's answer standing")
        << true << Announced::Nothing << true;
    QTest::newRow("a failed round trip confirms nothing, even after our claim was announced")
        << false << Announced::OurClaim << false;
    QTest::newRow("a failed round trip before any announcement confirms nothing")
        << false << Announced::Nothing << false;
    QTest::newRow("a failed round trip after another program's copy confirms nothing")
        << false << Announced::OtherData << false;
}

void CompositorSyncTest::claimIsConfirmedOnlyByAnAnsweringCompositor()
{
    QFETCH(bool, roundTripDone);
    QFETCH(Announced, last);
    QFETCH(bool, confirmed);
    QCOMPARE(cipherloom::ClaimConfirmed(roundTripDone, last), confirmed);
}

QTEST_APPLESS_MAIN(CompositorSyncTest)
#include "tst_compositor_sync.moc"
