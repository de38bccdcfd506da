#include "runtime/compositor_sync.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QGuiApplication>
#include <QLibrary>
#include <QMimeData>
#include <QRandomGenerator>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

#if defined(CIPHERLOOM_HAVE_QPA_NATIVE)
#include <qpa/qplatformnativeinterface.h>
#endif

namespace cipherloom {

#if defined(CIPHERLOOM_HAVE_QPA_NATIVE)
namespace {

struct WlDisplay;
struct WlProxy;
struct WlEventQueue;
struct WlInterface;

// libwayland-client's wl_message and wl_interface, for the protocol tables below.
struct WlMessage
{
    const char* name;
    const char* signature;
    const WlInterface* const* types;
};

struct WlInterface
{
    const char* name;
    int version;
    int methodCount;
    const WlMessage* methods;
    int eventCount;
    const WlMessage* events;
};

// Version 1 of wlroots' data-control protocol (wlr-data-control-unstable-v1.xml): a view of the
// seat's selection meant for clipboard managers, told of every change whichever window has the
// keyboard, and with no part in drag and drop. Only new objects need their type here; the
// library checks no other argument against it.
constexpr std::uint32_t kProtocolVersion = 1;

template <std::size_t Requests, std::size_t Events>
constexpr WlInterface Interface(const char* name, const WlMessage (&requests)[Requests],
                                const WlMessage (&events)[Events])
{
    return {.name = name,
            .version = static_cast<int>(kProtocolVersion),
            .methodCount = static_cast<int>(Requests),
            .methods = requests,
            .eventCount = static_cast<int>(Events),
            .events = events};
}

constexpr const WlInterface* kNoTypes[] = {nullptr, nullptr};
constexpr WlMessage kOfferRequests[] = {{"receive", "sh", kNoTypes}, {"destroy", "", kNoTypes}};
constexpr WlMessage kOfferEvents[] = {{"offer", "s", kNoTypes}};
constexpr WlInterface kOfferInterface =
    Interface("zwlr_data_control_offer_v1", kOfferRequests, kOfferEvents);
constexpr const WlInterface* kOfferTypes[] = {&kOfferInterface};
constexpr WlMessage kDeviceRequests[] = {{"set_selection", "?o", kNoTypes},
                                         {"destroy", "", kNoTypes}};
constexpr WlMessage kDeviceEvents[] = {
    {"data_offer", "n", kOfferTypes}, {"selection", "?o", kOfferTypes}, {"finished", "", kNoTypes}};
constexpr WlInterface kDeviceInterface =
    Interface("zwlr_data_control_device_v1", kDeviceRequests, kDeviceEvents);
constexpr const WlInterface* kDeviceTypes[] = {&kDeviceInterface, nullptr};
constexpr WlMessage kManagerRequests[] = {{"create_data_source", "n", kNoTypes},
                                          {"get_data_device", "no", kDeviceTypes},
                                          {"destroy", "", kNoTypes}};
constexpr WlInterface kManagerInterface{.name = "zwlr_data_control_manager_v1",
                                        .version = static_cast<int>(kProtocolVersion),
                                        .methodCount =
                                            static_cast<int>(std::size(kManagerRequests)),
                                        .methods = kManagerRequests,
                                        .eventCount = 0,
                                        .events = nullptr};

// Request numbers, and libwayland's WL_MARSHAL_FLAG_DESTROY.
constexpr std::uint32_t kDisplayGetRegistry = 1;
constexpr std::uint32_t kRegistryBind = 0;
constexpr std::uint32_t kManagerGetDataDevice = 1;
constexpr std::uint32_t kManagerDestroy = 2;
constexpr std::uint32_t kDeviceDestroy = 1;
constexpr std::uint32_t kOfferDestroy = 1;
constexpr std::uint32_t kMarshalDestroy = 1;

constexpr char kMarkPrefix[] = "application/x-cipherloom-claim;id=";
constexpr int kHex = 16;

// Qt's plugin has loaded the client library already; borrowing it needs no build dependency.
constexpr int kWaylandClientAbi = 0;

using RoundTrip = int (*)(WlDisplay*);

// What the claim check uses of libwayland-client, looked up in the loaded library.
struct WaylandClient
{
    int (*roundTripQueue)(WlDisplay*, WlEventQueue*) = nullptr;
    WlEventQueue* (*createQueue)(WlDisplay*) = nullptr;
    void (*destroyQueue)(WlEventQueue*) = nullptr;
    WlProxy* (*createWrapper)(void*) = nullptr;
    void (*destroyWrapper)(WlProxy*) = nullptr;
    void (*setQueue)(WlProxy*, WlEventQueue*) = nullptr;
    WlProxy* (*marshal)(WlProxy*, std::uint32_t, const WlInterface*, std::uint32_t, std::uint32_t,
                        ...) = nullptr;
    int (*addListener)(WlProxy*, const void*, void*) = nullptr;
    std::uint32_t (*version)(WlProxy*) = nullptr;
    void (*destroyProxy)(WlProxy*) = nullptr;
    const WlInterface* registryInterface = nullptr;

    bool Load()
    {
        QLibrary library(QStringLiteral("wayland-client"), kWaylandClientAbi);
        return Resolve(library, "wl_display_roundtrip_queue", roundTripQueue) &&
               Resolve(library, "wl_display_create_queue", createQueue) &&
               Resolve(library, "wl_event_queue_destroy", destroyQueue) &&
               Resolve(library, "wl_proxy_create_wrapper", createWrapper) &&
               Resolve(library, "wl_proxy_wrapper_destroy", destroyWrapper) &&
               Resolve(library, "wl_proxy_set_queue", setQueue) &&
               Resolve(library, "wl_proxy_marshal_flags", marshal) &&
               Resolve(library, "wl_proxy_add_listener", addListener) &&
               Resolve(library, "wl_proxy_get_version", version) &&
               Resolve(library, "wl_proxy_destroy", destroyProxy) &&
               Resolve(library, "wl_registry_interface", registryInterface);
    }

    template <typename T>
    static bool Resolve(QLibrary& library, const char* name, T& target)
    {
        target = reinterpret_cast<T>(library.resolve(name));
        return target != nullptr;
    }
};

// Held for the session: an event queue and a data-control manager of our own on Qt's
// connection. Only the claim check dispatches that queue, so Qt sees none of its events and none
// of Qt's handlers run while it waits.
struct Channel
{
    WaylandClient wl;
    WlDisplay* display = nullptr;
    WlProxy* seat = nullptr;
    WlEventQueue* queue = nullptr;
    WlProxy* manager = nullptr;
};

Channel g_channel;
bool g_channelTried = false;

QPlatformNativeInterface* WaylandNative()
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        return nullptr;
    }
    return QGuiApplication::platformNativeInterface();
}

struct RegistryListener
{
    void (*global)(void*, WlProxy*, std::uint32_t, const char*, std::uint32_t);
    void (*globalRemove)(void*, WlProxy*, std::uint32_t);
};

// Notes the global's name (0 is no global's name).
constexpr RegistryListener kRegistryListener{
    [](void* found, WlProxy*, std::uint32_t name, const char* interface, std::uint32_t) {
        if (QByteArrayView(interface) == QByteArrayView(kManagerInterface.name)) {
            *static_cast<std::uint32_t*>(found) = name;
        }
    },
    [](void*, WlProxy*, std::uint32_t) {},
};

// Binds the data-control manager once. Nullptr off Wayland, and where the compositor does not
// offer the protocol (GNOME's does not): the claim is then judged by Qt alone.
Channel* OpenChannel()
{
    if (g_channelTried) {
        return g_channel.manager != nullptr ? &g_channel : nullptr;
    }
    g_channelTried = true;
    QPlatformNativeInterface* native = WaylandNative();
    if (native == nullptr || !g_channel.wl.Load()) {
        return nullptr;
    }
    Channel& ch = g_channel;
    ch.display = static_cast<WlDisplay*>(
        native->nativeResourceForIntegration(QByteArrayLiteral("wl_display")));
    ch.seat =
        static_cast<WlProxy*>(native->nativeResourceForIntegration(QByteArrayLiteral("wl_seat")));
    if (ch.display == nullptr || ch.seat == nullptr) {
        return nullptr;
    }
    ch.queue = ch.wl.createQueue(ch.display);
    WlProxy* wrapper = ch.queue != nullptr ? ch.wl.createWrapper(ch.display) : nullptr;
    if (wrapper == nullptr) {
        return nullptr;
    }
    ch.wl.setQueue(wrapper, ch.queue);
    WlProxy* registry = ch.wl.marshal(wrapper, kDisplayGetRegistry, ch.wl.registryInterface,
                                      ch.wl.version(wrapper), 0, static_cast<void*>(nullptr));
    ch.wl.destroyWrapper(wrapper);
    if (registry == nullptr) {
        return nullptr;
    }
    std::uint32_t found = 0;
    ch.wl.addListener(registry, &kRegistryListener, &found);
    if (ch.wl.roundTripQueue(ch.display, ch.queue) >= 0 && found != 0) {
        ch.manager =
            ch.wl.marshal(registry, kRegistryBind, &kManagerInterface, kProtocolVersion, 0, found,
                          kManagerInterface.name, kProtocolVersion, static_cast<void*>(nullptr));
    }
    // The registry has no destructor request; the compositor forgets it when we disconnect.
    ch.wl.destroyProxy(registry);
    return ch.manager != nullptr ? &ch : nullptr;
}

void CloseChannel()
{
    if (g_channel.manager != nullptr) {
        g_channel.wl.marshal(g_channel.manager, kManagerDestroy, nullptr,
                             g_channel.wl.version(g_channel.manager), kMarshalDestroy);
        g_channel.manager = nullptr;
    }
    if (g_channel.queue != nullptr) {
        g_channel.wl.destroyQueue(g_channel.queue);
        g_channel.queue = nullptr;
    }
}

} // namespace

// A data-control device for one claim. The compositor announces the seat's selection when the
// device is made and every new one after it; the last one announced when the round trip ends is
// what the compositor holds.
class ClaimCheck::Watch
{
public:
    Watch(Channel& channel, QMimeData& data)
        : m_channel(channel),
          m_mark(kMarkPrefix + QByteArray::number(QRandomGenerator::global()->generate64(), kHex))
    {
        // Before the claim goes out, so the compositor's answer to it reaches this device too.
        data.setData(QString::fromLatin1(m_mark), QByteArray());
        m_device =
            m_channel.wl.marshal(m_channel.manager, kManagerGetDataDevice, &kDeviceInterface,
                                 kProtocolVersion, 0, static_cast<void*>(nullptr), m_channel.seat);
        if (m_device != nullptr) {
            m_channel.wl.addListener(m_device, &kDeviceListener, this);
        }
    }

    ~Watch()
    {
        const WaylandClient& wl = m_channel.wl;
        if (m_device != nullptr) {
            // The proxy goes only once the compositor has taken in the request: an offer it sends
            // meanwhile to a proxy already gone is dropped unread, and libwayland 1.21 then
            // takes the next new object for a protocol error and closes the connection.
            wl.marshal(m_device, kDeviceDestroy, nullptr, wl.version(m_device), 0);
            wl.roundTripQueue(m_channel.display, m_channel.queue);
            wl.destroyProxy(m_device);
        }
        for (const Offer& offer : m_offers) {
            wl.marshal(offer.proxy, kOfferDestroy, nullptr, wl.version(offer.proxy),
                       kMarshalDestroy);
        }
    }

    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    bool Kept()
    {
        if (m_device == nullptr) {
            return true;
        }
        if (m_channel.wl.roundTripQueue(m_channel.display, m_channel.queue) < 0) {
            return false;
        }
        // The protocol announces the selection as soon as the device exists; a compositor that
        // said nothing leaves Qt's answer standing.
        if (!m_told) {
            return true;
        }
        for (const Offer& offer : m_offers) {
            if (offer.proxy == m_selection) {
                return offer.marked;
            }
        }
        return false;
    }

private:
    struct Offer
    {
        WlProxy* proxy;
        bool marked;
    };

    struct DeviceListener
    {
        void (*dataOffer)(void*, WlProxy*, WlProxy*);
        void (*selection)(void*, WlProxy*, WlProxy*);
        void (*finished)(void*, WlProxy*);
    };

    struct OfferListener
    {
        void (*offer)(void*, WlProxy*, const char*);
    };

    static const DeviceListener kDeviceListener;
    static const OfferListener kOfferListener;

    void Introduce(WlProxy* offer)
    {
        m_offers.push_back({offer, false});
        m_channel.wl.addListener(offer, &kOfferListener, this);
    }

    void Note(WlProxy* offer, const char* type)
    {
        if (QByteArrayView(type) != QByteArrayView(m_mark)) {
            return;
        }
        for (Offer& known : m_offers) {
            if (known.proxy == offer) {
                known.marked = true;
            }
        }
    }

    Channel& m_channel;
    QByteArray m_mark;
    WlProxy* m_device = nullptr;
    std::vector<Offer> m_offers;
    bool m_told = false;
    WlProxy* m_selection = nullptr;
};

const ClaimCheck::Watch::DeviceListener ClaimCheck::Watch::kDeviceListener{
    [](void* self, WlProxy*, WlProxy* offer) { static_cast<Watch*>(self)->Introduce(offer); },
    [](void* self, WlProxy*, WlProxy* offer) {
        auto* watch = static_cast<Watch*>(self);
        watch->m_told = true;
        watch->m_selection = offer;
    },
    [](void*, WlProxy*) {},
};

const ClaimCheck::Watch::OfferListener ClaimCheck::Watch::kOfferListener{
    [](void* self, WlProxy* offer, const char* type) {
        static_cast<Watch*>(self)->Note(offer, type);
    },
};

ClaimCheck::ClaimCheck(QMimeData& data)
{
    if (Channel* channel = OpenChannel()) {
        m_watch = std::make_unique<Watch>(*channel, data);
    }
}

void WaitForCompositor()
{
    QPlatformNativeInterface* native = WaylandNative();
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
    CloseChannel();
}
#else
class ClaimCheck::Watch
{
public:
    bool Kept() { return true; }
};

ClaimCheck::ClaimCheck(QMimeData& /*data*/) {}

void WaitForCompositor() {}
#endif

ClaimCheck::~ClaimCheck() = default;

bool ClaimCheck::Kept()
{
    return m_watch == nullptr || m_watch->Kept();
}

} // namespace cipherloom
