// Stands in for the running game: a top-level X11 window with the game's title and
// class (arguments: title, class, instance name). Prints "ready" on standard error once the window is mapped and stays
// until it is killed.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    const char* title = argc > 1 ? argv[1] : "Velmor";
    const char* className = argc > 2 ? argv[2] : "GAME";
    const char* instanceName = argc > 3 ? argv[3] : "velmor";
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "game-window: no display\n");
        return 1;
    }
    Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 320, 240, 0, 0, 0);
    XStoreName(display, window, title);
    XClassHint hint;
    hint.res_name = const_cast<char*>(instanceName);
    hint.res_class = const_cast<char*>(className);
    XSetClassHint(display, window, &hint);
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    for (XEvent event; XNextEvent(display, &event) == 0;) {
        if (event.type == MapNotify)
            break;
    }
    std::fprintf(stderr, "ready\n");
    for (;;)
        pause();
}
