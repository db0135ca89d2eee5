// Drops one file on the window at a point of the screen the way a file
// manager does it on X (the XDND protocol, version 5, as text/uri-list), so
// that a program under wine gets it as Windows' drag and drop. Exits 0 once
// the target has taken the drop, 1 if it refused it or did not answer.
// Usage: xdnd-drop X Y FILE
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

Display* display;
Atom Intern(const char* name) {
    return XInternAtom(display, name, False);
}

bool IsAware(Window window) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const bool aware =
        XGetWindowProperty(display, window, Intern("XdndAware"), 0, 1, False, AnyPropertyType,
                           &type, &format, &count, &after, &data) == Success &&
        type != None;
    if (data != nullptr) {
        XFree(data);
    }
    return aware;
}

// The outermost window under (x, y) that takes XDND drops, or None.
Window TargetAt(int x, int y) {
    Window at = DefaultRootWindow(display);
    for (;;) {
        int cx = 0;
        int cy = 0;
        Window child = None;
        XTranslateCoordinates(display, DefaultRootWindow(display), at, x, y, &cx, &cy, &child);
        if (child == None) {
            return None;
        }
        if (IsAware(child)) {
            return child;
        }
        at = child;
    }
}

void Send(Window target, const char* message, long l1, long l2, long l3, long l4, Window source) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = Intern(message);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(source);
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (display = XOpenDisplay(nullptr)) == nullptr) {
        std::fprintf(stderr, "usage: xdnd-drop X Y FILE (with DISPLAY set)\n");
        return 2;
    }
    const int x = std::atoi(argv[1]);
    const int y = std::atoi(argv[2]);
    const std::string uri = std::string("file://") + argv[3] + "\r\n";
    const Window target = TargetAt(x, y);
    if (target == None) {
        std::fprintf(stderr, "xdnd-drop: no window at %d, %d takes drops\n", x, y);
        return 1;
    }
    const Window source =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    const Atom selection = Intern("XdndSelection");
    const Atom uriList = Intern("text/uri-list");
    XSetSelectionOwner(display, selection, source, CurrentTime);

    Send(target, "XdndEnter", 5L << 24, static_cast<long>(uriList), 0, 0, source);
    const long point = (static_cast<long>(x) << 16) | y;
    Send(target, "XdndPosition", 0, point, CurrentTime, static_cast<long>(Intern("XdndActionCopy")),
         source);

    bool dropped = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (XPending(display) == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionRequest) {
            const XSelectionRequestEvent& request = event.xselectionrequest;
            XEvent reply = {};
            reply.xselection.type = SelectionNotify;
            reply.xselection.requestor = request.requestor;
            reply.xselection.selection = request.selection;
            reply.xselection.target = request.target;
            reply.xselection.time = request.time;
            reply.xselection.property = None;
            if (request.target == uriList) {
                XChangeProperty(display, request.requestor, request.property, uriList, 8,
                                PropModeReplace, reinterpret_cast<const unsigned char*>(uri.data()),
                                static_cast<int>(uri.size()));
                reply.xselection.property = request.property;
            }
            XSendEvent(display, request.requestor, False, NoEventMask, &reply);
            XFlush(display);
        } else if (event.type == ClientMessage &&
                   event.xclient.message_type == Intern("XdndStatus") && !dropped) {
            if ((event.xclient.data.l[1] & 1) == 0) {
                std::fprintf(stderr, "xdnd-drop: the window refuses %s\n", argv[3]);
                return 1;
            }
            Send(target, "XdndDrop", 0, CurrentTime, 0, 0, source);
            dropped = true;
        } else if (event.type == ClientMessage &&
                   event.xclient.message_type == Intern("XdndFinished")) {
            return 0;
        }
    }
    std::fprintf(stderr, "xdnd-drop: no answer from the window at %d, %d\n", x, y);
    return 1;
}
