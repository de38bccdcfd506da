#pragma once

namespace cipherloom {

// One attempt at emptying the Windows clipboard, whoever owns it. Fails while another program
// holds it open; the caller decides how long to keep trying.
[[nodiscard]] bool TryEmptyWindowsClipboard();

} // namespace cipherloom
