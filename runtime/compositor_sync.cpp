#include "runtime/compositor_sync.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QGuiApplication>
#include <QMimeData>
#include <QObject>
#include <QRandomGenerator>
#include <QString>

#include <vector>

#if defined(CIPHERLOOM_HAVE_WAYLAND)
#include <qpa/qplatformnativeinterface.h>
#include <wayland-client.h>
#include <wlr-data-control-unstable-v1-client-protocol.h>
#endif

namespace cipherloom {

bool ClaimConfirmed(bool roundTripDone, Announced last)
{
    return roundTripDone && last != Announced::OtherData;
}

#if defined(CIPHERLOOM_HAVE_WAYLAND)
namespace {

// Version 1 sends only the clipboard's selection, not the primary one.
constexpr std::uint32_t kProtocolVersion = 1;
constexpr char kMarkPrefix[] = "application/x-cipherloom-claim;id=";
constexpr int kHex = 16;

QPlatformNativeInterface* WaylandNative()
{
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        return nullptr;
    }
    return QGuiApplication::platformNativeInterface();
}

template <typename T>
T* NativeResource(QPlatformNativeInterface& native, const char* name)
{
    return static_cast<T*>(native.nativeResourceForIntegration(name));
}

} // namespace

// An event queue and data-control manager of our own on Qt's connection, from the first claim
// until WaitForCompositor(): none of Qt's handlers run while the claim check waits on it.
class DataControlChannel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DataControlChannel)

public:
    // Nullptr off Wayland; no manager where the compositor lacks the protocol (GNOME).
    static DataControlChannel* Get()
    {
        auto* app = QGuiApplication::instance();
        QPlatformNativeInterface* native = WaylandNative();
        if (app == nullptr || native == nullptr) {
            return nullptr;
        }
        auto* channel = app->findChild<DataControlChannel*>(QString(), Qt::FindDirectChildrenOnly);
        return channel != nullptr ? channel : new DataControlChannel(*native, *app);
    }

    ~DataControlChannel() override
    {
        if (manager != nullptr) {
            zwlr_data_control_manager_v1_destroy(manager);
        }
        if (queue != nullptr) {
            wl_event_queue_destroy(queue);
        }
    }

    wl_display* display = nullptr;
    wl_seat* seat = nullptr;
    wl_event_queue* queue = nullptr;
    zwlr_data_control_manager_v1* manager = nullptr;

private:
    DataControlChannel(QPlatformNativeInterface& native, QObject& app)
        : QObject(&app), display(NativeResource<wl_display>(native, "wl_display")),
          seat(NativeResource<wl_seat>(native, "wl_seat"))
    {
        queue = display != nullptr && seat != nullptr ? wl_display_create_queue(display) : nullptr;
        auto* wrapper =
            queue != nullptr ? static_cast<wl_display*>(wl_proxy_create_wrapper(display)) : nullptr;
        if (wrapper == nullptr) {
            return;
        }
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
        wl_registry* registry = wl_display_get_registry(wrapper);
        wl_proxy_wrapper_destroy(wrapper);
        if (registry == nullptr) {
            return;
        }
        std::uint32_t found = 0; // no global's name
        wl_registry_add_listener(registry, &kRegistryListener, &found);
        if (wl_display_roundtrip_queue(display, queue) >= 0 && found != 0) {
            manager = static_cast<zwlr_data_control_manager_v1*>(wl_registry_bind(
                registry, found, &zwlr_data_control_manager_v1_interface, kProtocolVersion));
        }
        wl_registry_destroy(registry);
    }

    static constexpr wl_registry_listener kRegistryListener{
        .global =
            [](void* found, wl_registry*, std::uint32_t name, const char* interface,
               std::uint32_t) {
                if (QByteArrayView(interface) ==
                    QByteArrayView(zwlr_data_control_manager_v1_interface.name)) {
                    *static_cast<std::uint32_t*>(found) = name;
                }
            },
        .global_remove = [](void*, wl_registry*, std::uint32_t) {},
    };
};

// A data-control device for one claim: the last selection announced when the round trip ends is
// what the compositor holds.
class ClaimCheck::Watch final
{
    Q_DISABLE_COPY_MOVE(Watch)

public:
    Watch(DataControlChannel& channel, QMimeData& data)
        : m_channel(channel),
          m_mark(kMarkPrefix + QByteArray::number(QRandomGenerator::global()->generate64(), kHex))
    {
        // Before the claim goes out, so the answer to it reaches this device too.
        data.setData(QString::fromLatin1(m_mark), QByteArray());
        m_device = zwlr_data_control_manager_v1_get_data_device(channel.manager, channel.seat);
        if (m_device != nullptr) {
            zwlr_data_control_device_v1_add_listener(m_device, &kDeviceListener, this);
        }
    }

    ~Watch()
    {
        if (m_device != nullptr) {
            // Freed only after a round trip, unlike the generated destroy: libwayland 1.21 closes
            // the connection over an offer sent to a proxy already gone (docs/quality.md).
            auto* proxy = reinterpret_cast<wl_proxy*>(m_device);
            wl_proxy_marshal_flags(proxy, ZWLR_DATA_CONTROL_DEVICE_V1_DESTROY, nullptr,
                                   wl_proxy_get_version(proxy), 0);
            wl_display_roundtrip_queue(m_channel.display, m_channel.queue);
            wl_proxy_destroy(proxy);
        }
        for (const Offer& offer : m_offers) {
            zwlr_data_control_offer_v1_destroy(offer.proxy);
        }
    }

    bool Kept()
    {
        if (m_device == nullptr) {
            return true;
        }
        const bool done = wl_display_roundtrip_queue(m_channel.display, m_channel.queue) >= 0;
        return ClaimConfirmed(done, LastAnnounced());
    }

private:
    struct Offer
    {
        zwlr_data_control_offer_v1* proxy;
        bool marked;
    };

    Announced LastAnnounced() const
    {
        if (!m_told) {
            return Announced::Nothing;
        }
        for (const Offer& offer : m_offers) {
            if (offer.proxy == m_selection) {
                return offer.marked ? Announced::OurClaim : Announced::OtherData;
            }
        }
        return Announced::OtherData; // an empty clipboard
    }

    DataControlChannel& m_channel;
    QByteArray m_mark;
    zwlr_data_control_device_v1* m_device = nullptr;
    std::vector<Offer> m_offers;
    bool m_told = false;
    zwlr_data_control_offer_v1* m_selection = nullptr;

    static constexpr zwlr_data_control_offer_v1_listener kOfferListener{
        .offer =
            [](void* self, zwlr_data_control_offer_v1* offer, const char* type) {
                auto* watch = static_cast<Watch*>(self);
                if (QByteArrayView(type) != QByteArrayView(watch->m_mark)) {
                    return;
                }
                for (Offer& known : watch->m_offers) {
                    known.marked = known.marked || known.proxy == offer;
                }
            },
    };

    static constexpr zwlr_data_control_device_v1_listener kDeviceListener{
        .data_offer =
            [](void* self, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
                auto* watch = static_cast<Watch*>(self);
                watch->m_offers.push_back({offer, false});
                zwlr_data_control_offer_v1_add_listener(offer, &kOfferListener, watch);
            },
        .selection =
            [](void* self, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
                auto* watch = static_cast<Watch*>(self);
                watch->m_told = true;
                watch->m_selection = offer;
            },
        .finished = [](void*, zwlr_data_control_device_v1*) {},
        .primary_selection = [](void*, zwlr_data_control_device_v1*,
                                zwlr_data_control_offer_v1*) {},
    };
};

ClaimCheck::ClaimCheck(QMimeData& data)
{
    DataControlChannel* channel = DataControlChannel::Get();
    if (channel != nullptr && channel->manager != nullptr) {
        m_watch = std::make_unique<Watch>(*channel, data);
    }
}

void WaitForCompositor()
{
    QPlatformNativeInterface* native = WaylandNative();
    if (native == nullptr) {
        return;
    }
    if (auto* display = NativeResource<wl_display>(*native, "wl_display")) {
        wl_display_roundtrip(display);
    }
    delete QGuiApplication::instance()->findChild<DataControlChannel*>(QString(),
                                                                       Qt::FindDirectChildrenOnly);
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

#if defined(CIPHERLOOM_HAVE_WAYLAND)
#include "compositor_sync.moc"
#endif
