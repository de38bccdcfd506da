#pragma once

#include <QtGlobal>

#include <cstdint>
#include <memory>

class QMimeData;

namespace cipherloom {

// What the compositor announced last as the seat's selection while a claim was checked.
enum class Announced : std::uint8_t
{
    Nothing,
    OurClaim,
    OtherData
};

// Whether the compositor confirmed a claim: a round trip that did not come back confirms
// nothing; a compositor that announced nothing leaves Qt's answer standing.
[[nodiscard]] bool ClaimConfirmed(bool roundTripDone, Announced last);

// Asks the compositor whether it kept one clipboard claim. Qt 6.4 on Wayland hands back our data
// as the clipboard's as soon as the claim is sent, and wlroots refuses a claim older than the
// current selection without a word. Made just before QClipboard::setMimeData(), it marks the
// data with a name of its own and watches the selection through wlroots' data-control protocol
// (docs/quality.md, "Wayland"). Off Wayland, and where the compositor offers no data control
// (GNOME), it does nothing and Kept() is true.
class ClaimCheck final
{
    Q_DISABLE_COPY_MOVE(ClaimCheck)

public:
    explicit ClaimCheck(QMimeData& data);
    ~ClaimCheck();

    // False when, once the compositor has answered, the selection it holds is not the marked data.
    [[nodiscard]] bool Kept();

private:
    class Watch;
    std::unique_ptr<Watch> m_watch;
};

// Called by QtRuntime when it goes, after the event loop and the windows, before QApplication. On
// Wayland one round trip makes the compositor take in everything sent (the clipboard clear at
// exit included) and every reader Qt's plugin armed read, so its teardown cannot hang; then what
// ClaimCheck opened is closed. Elsewhere it does nothing.
void WaitForCompositor();

} // namespace cipherloom
