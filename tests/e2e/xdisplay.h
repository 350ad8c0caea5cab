#ifndef QUILLET_TESTS_XDISPLAY_H
#define QUILLET_TESTS_XDISPLAY_H

#include <QByteArray>

#include <xcb/xcb.h>

// A client of the X display ($DISPLAY) that stays connected while it lives:
// an X server resets when its last client goes, and a program that connects
// during a reset fails to start.
class XDisplay {
public:
    XDisplay()
        : m_connection(xcb_connect(nullptr, nullptr))
    {
    }
    ~XDisplay() { xcb_disconnect(m_connection); }
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    // The viewable top-level windows titled `title`; with `close`, each is
    // asked to close (WM_DELETE_WINDOW), as a window manager does.
    int topLevelWindows(const QByteArray& title, bool close = false);

private:
    xcb_atom_t atom(const char* name);

    xcb_connection_t* m_connection;
};

#endif
