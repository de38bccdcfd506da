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

// Asks the compositor whether it kept one clipboard claim, which Qt 6.4 on Wayland cannot tell
// (docs/quality.md, "Wayland"). Made just before QClipboard::setMimeData(), it marks the data and
// watches the selection through wlroots' data-control protocol; elsewhere Kept() is true.
class ClaimCheck final
{
    Q_DISABLE_COPY_MOVE(ClaimCheck)

public:
    explicit ClaimCheck(QMimeData& data);
    ~ClaimCheck();

    // False when the selection the compositor answers with is not the marked data.
    [[nodiscard]] bool Kept();

private:
    class Watch;
    std::unique_ptr<Watch> m_watch;
};

// Before QApplication goes: on Wayland a round trip, so Qt's teardown cannot hang and the last
// clipboard clear arrives, then closes what ClaimCheck opened.
void WaitForCompositor();

} // namespace cipherloom
