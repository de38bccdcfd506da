#pragma once

namespace cipherloom {

// Keeps the passwords in this process's memory to this process: the user's other processes may
// not read, write or debug it, and a crash leaves no heap on disk (docs/quality.md, "The process").
// Call first in main(), on the window thread. A failed step is a qWarning(), and the program runs
// on: the user's other processes can read the clipboard anyway.
void ProtectProcess();

} // namespace cipherloom
