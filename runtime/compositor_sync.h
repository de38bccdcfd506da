#pragma once

#include <memory>

class QMimeData;

namespace cipherloom {

// Asks the compositor whether it kept one clipboard claim. Qt 6.4 on Wayland hands back our data
// as the clipboard's as soon as the claim is sent, and a compositor refuses a claim without a
// word: wlroots ignores one older than the current selection and sends no "cancelled". Made just
// before QClipboard::setMimeData(), it marks the data with a name of its own and watches the
// selection through the data-control protocol that wlroots compositors (sway among them) offer;
// Kept() then waits for the compositor. Off Wayland, and where the compositor offers no data
// control (GNOME), it does nothing and Kept() is true.
class ClaimCheck
{
public:
    explicit ClaimCheck(QMimeData& data);
    ~ClaimCheck();
    ClaimCheck(const ClaimCheck&) = delete;
    ClaimCheck& operator=(const ClaimCheck&) = delete;

    // False when, once the compositor has answered, the selection it holds is not the marked data.
    [[nodiscard]] bool Kept();

private:
    class Watch;
    std::unique_ptr<Watch> m_watch;
};

// Called by QtRuntime when it goes, after the event loop and the windows, before QApplication. On
// Wayland it waits until the compositor has taken in everything the program sent (the clipboard
// clear at exit included) and closes what ClaimCheck opened; elsewhere it does nothing.
//
// It also keeps Qt 6.4's Wayland plugin from hanging at exit: the GUI thread re-arms the read
// for the plugin's event thread after every dispatch, and when the plugin stops that thread
// before it woke up, the armed read is never cancelled; the frame-callback thread then waits in
// wl_display_read_events() forever. A round trip makes every armed reader read first.
void WaitForCompositor();

} // namespace cipherloom
