#pragma once

namespace cipherloom {

// Keeps the passwords in this process's memory to this process. Other processes of the same
// user may no longer read or write its memory or attach a debugger to it, and a crash leaves no
// copy of the heap on disk (no core file on Linux and macOS, no heap in Windows Error Reporting's
// dumps). macOS refuses debuggers in release builds only. On Windows, libraries loaded at run
// time come from System32 alone.
//
// Call it first in main(), on the thread that will run the windows, before any password exists.
// A step that fails is reported with qWarning() in every build, and the program runs on without
// it: the same user's processes can read the clipboard anyway, so refusing to start would cost
// the user the program and buy little.
void ProtectProcess();

} // namespace cipherloom
