#!/usr/bin/env python3
"""Asks an X11 window to close the way a window manager's close box does: WM_DELETE_WINDOW."""
import sys

from Xlib import X, display
from Xlib.protocol import event


def main() -> int:
    if len(sys.argv) != 2:
        print("usage: close_window.py WINDOW_ID", file=sys.stderr)
        return 2
    d = display.Display()
    window = d.create_resource_object("window", int(sys.argv[1], 0))
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    message = event.ClientMessage(window=window, client_type=protocols,
                                  data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(message, event_mask=X.NoEventMask)
    d.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())
