#pragma once

namespace cipherloom {

// One try at emptying the Windows clipboard, whoever owns it; fails while another holds it open.
[[nodiscard]] bool TryEmptyWindowsClipboard();

} // namespace cipherloom
