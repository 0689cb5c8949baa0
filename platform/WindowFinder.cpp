#include "platform/WindowFinder.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <strings.h>

#include <memory>

namespace platform {
namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

std::string WindowTitle(Display* display, Window window) {
    Atom netName = XInternAtom(display, "_NET_WM_NAME", True);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", True);
    if (netName != None && utf8 != None) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after,
                               &data) == Success && data) {
            std::string title(reinterpret_cast<char*>(data), count);
            XFree(data);
            if (!title.empty()) return title;
        }
    }
    char* name = nullptr;
    std::string title;
    if (XFetchName(display, window, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

bool Matches(Display* display, Window window, const std::string& title, const std::string& className,
             const std::string& instance) {
    XClassHint hint {};
    if (!XGetClassHint(display, window, &hint)) return false;
    bool classMatches = (hint.res_class && className == hint.res_class) ||
                        (hint.res_name && strcasecmp(instance.c_str(), hint.res_name) == 0);
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return classMatches && WindowTitle(display, window) == title;
}

// Top-level windows may sit inside the frames of a window manager: look a few levels down.
bool Search(Display* display, Window window, int depth, const std::string& title, const std::string& className,
            const std::string& instance) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count)) return false;
    bool found = false;
    for (unsigned int i = 0; i < count && !found; ++i) {
        found = Matches(display, children[i], title, className, instance) ||
                (depth > 1 && Search(display, children[i], depth - 1, title, className, instance));
    }
    if (children) XFree(children);
    return found;
}

}  // namespace

bool FindTopLevelWindow(const std::string& title, const std::string& className, const std::string& instance) {
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display) return false;
    return Search(display.get(), DefaultRootWindow(display.get()), 3, title, className, instance);
}

}  // namespace platform
