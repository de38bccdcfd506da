#pragma once

namespace cipherloom {

// Called by QtRuntime when it goes, after the event loop and the windows, before QApplication. On
// Wayland it waits until the compositor has taken in everything the program sent (the clipboard
// clear at exit included); elsewhere it does nothing.
//
// It also keeps Qt 6.4's Wayland plugin from hanging at exit: the GUI thread re-arms the read
// for the plugin's event thread after every dispatch, and when the plugin stops that thread
// before it woke up, the armed read is never cancelled; the frame-callback thread then waits in
// wl_display_read_events() forever. A round trip makes every armed reader read first.
void WaitForCompositor();

} // namespace cipherloom
