#pragma once

namespace cipherloom::accessibility {

// Shows screen readers the windows for what they are: the main window as a frame (Qt takes a
// plain top-level QWidget for a filler), the options dialog as a dialog that says it is modal
// while it runs modally. Call before the windows are made; calling again does nothing.
void InstallWindowInterfaces();

} // namespace cipherloom::accessibility
