#pragma once

namespace cipherloom::accessibility {

// Shows screen readers the main window as a frame (not a filler) and the options dialog as a
// modal dialog. Call before the windows are made; calling again does nothing.
void InstallWindowInterfaces();

} // namespace cipherloom::accessibility
