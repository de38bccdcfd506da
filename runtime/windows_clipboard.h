#pragma once

namespace cipherloom {

// Empties the Windows clipboard, whoever owns it, waiting a little while another program holds
// it open. Returns false when it stayed busy; the caller has nothing better to do then.
bool EmptyWindowsClipboard();

} // namespace cipherloom
