#include "xdisplay.h"

#include <cstdlib>
#include <cstring>

XDisplay::XDisplay()
    : m_connection(xcb_connect(nullptr, nullptr))
{
    m_protocols = atom("WM_PROTOCOLS");
    m_deleteWindow = atom("WM_DELETE_WINDOW");
}

XDisplay::~XDisplay()
{
    xcb_disconnect(m_connection);
}

int XDisplay::topLevelWindows(const QByteArray& title, bool close)
{
    if (xcb_connection_has_error(m_connection))
        return -1;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    xcb_query_tree_reply_t* tree
        = xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, root), nullptr);
    int found = 0;
    for (int i = 0; tree && i < xcb_query_tree_children_length(tree); ++i) {
        const xcb_window_t window = xcb_query_tree_children(tree)[i];
        if (!isViewable(window) || nameOf(window) != title)
            continue;
        ++found;
        if (close)
            askToClose(window);
    }
    free(tree);
    xcb_flush(m_connection);
    return found;
}

xcb_atom_t XDisplay::atom(const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return value;
}

bool XDisplay::isViewable(xcb_window_t window)
{
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, window), nullptr);
    const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    free(attributes);
    return viewable;
}

QByteArray XDisplay::nameOf(xcb_window_t window)
{
    xcb_get_property_reply_t* name
        = xcb_get_property_reply(m_connection,
                                 xcb_get_property(m_connection, 0, window, XCB_ATOM_WM_NAME,
                                                  XCB_GET_PROPERTY_TYPE_ANY, 0, 64),
                                 nullptr);
    const QByteArray text = name
                                ? QByteArray(static_cast<const char*>(xcb_get_property_value(name)),
                                             xcb_get_property_value_length(name))
                                : QByteArray();
    free(name);
    return text;
}

void XDisplay::askToClose(xcb_window_t window)
{
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = m_protocols;
    event.data.data32[0] = m_deleteWindow;
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
}
