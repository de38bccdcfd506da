#include "runtime/windows_clipboard.h"

#include <windows.h>

namespace cipherloom {
namespace {

// Clipboard viewers and managers open the clipboard for a few milliseconds after every change;
// one second covers them without making Exit feel stuck.
constexpr int kOpenAttempts = 40;
constexpr DWORD kOpenRetryMilliseconds = 25;

} // namespace

bool EmptyWindowsClipboard()
{
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        // No owner window: the clipboard is left empty, with nothing of ours to render at exit.
        if (OpenClipboard(nullptr)) {
            const bool emptied = EmptyClipboard() != FALSE;
            CloseClipboard();
            return emptied;
        }
        Sleep(kOpenRetryMilliseconds);
    }
    return false;
}

} // namespace cipherloom
