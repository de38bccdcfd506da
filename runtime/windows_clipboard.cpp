#include "runtime/windows_clipboard.h"

#include <windows.h>

namespace cipherloom {

bool TryEmptyWindowsClipboard()
{
    // No owner window: the clipboard is left empty, with nothing of ours to render at exit.
    if (OpenClipboard(nullptr) == FALSE) {
        return false;
    }
    const bool emptied = EmptyClipboard() != FALSE;
    CloseClipboard();
    return emptied;
}

} // namespace cipherloom
