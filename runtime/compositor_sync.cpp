#include "runtime/compositor_sync.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QLibrary>
#include <QString>

#if defined(CIPHERLOOM_HAVE_QPA_NATIVE)
#include <qpa/qplatformnativeinterface.h>
#endif

namespace cipherloom {

#if defined(CIPHERLOOM_HAVE_QPA_NATIVE)
namespace {

struct WlDisplay;
using RoundTrip = int (*)(WlDisplay*);

// Qt's plugin has loaded the client library already; borrowing it needs no build dependency.
constexpr int kWaylandClientAbi = 0;

} // namespace

void WaitForCompositor()
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        return;
    }
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    if (native == nullptr) {
        return;
    }
    auto* display = static_cast<WlDisplay*>(
        native->nativeResourceForIntegration(QByteArrayLiteral("wl_display")));
    QLibrary client(QStringLiteral("wayland-client"), kWaylandClientAbi);
    const auto roundTrip = reinterpret_cast<RoundTrip>(client.resolve("wl_display_roundtrip"));
    if (display != nullptr && roundTrip != nullptr) {
        roundTrip(display);
    }
}
#else
void WaitForCompositor() {}
#endif

} // namespace cipherloom
