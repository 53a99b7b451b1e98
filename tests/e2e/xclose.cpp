// xclose.cpp: asks an X window to close, the way a window manager's close button does (WM_DELETE_WINDOW).
#include <X11/Xlib.h>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        fprintf(stderr, "usage: xclose WINDOW_ID\n");
        return 2;
    }
    Display* dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        fprintf(stderr, "xclose: cannot open the display\n");
        return 1;
    }
    Window win = (Window)strtoul(argv[1], nullptr, 0);
    XEvent ev = {};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = win;
    ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = (long)XInternAtom(dpy, "WM_DELETE_WINDOW", False);
    ev.xclient.data.l[1] = CurrentTime;
    Status ok = XSendEvent(dpy, win, False, NoEventMask, &ev);
    XSync(dpy, False);
    XCloseDisplay(dpy);
    return ok ? 0 : 1;
}
