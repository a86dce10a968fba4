#include "platform/WindowMarkers.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <xcb/xcb.h>

namespace PLATFORM {
namespace {

const char kLabelAtom[] = "NorvexLabel";

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> Own(T* reply)
{
    return Reply<T>(reply, &std::free);
}

// One short-lived connection to $DISPLAY; empty without a usable display.
class Connection {
public:
    Connection()
    {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display)
            return;
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c)) {
            xcb_disconnect(c);
            return;
        }
        c_ = c;
    }
    ~Connection()
    {
        if (c_)
            xcb_disconnect(c_);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    xcb_connection_t* get() const { return c_; }
    explicit operator bool() const { return c_ != nullptr; }

private:
    xcb_connection_t* c_ = nullptr;
};

xcb_atom_t Atom(xcb_connection_t* c, const char* name, bool onlyIfExists)
{
    auto reply = Own(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, onlyIfExists ? 1 : 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

std::vector<xcb_window_t> Roots(xcb_connection_t* c)
{
    std::vector<xcb_window_t> roots;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem; xcb_screen_next(&it))
        roots.push_back(it.data->root);
    return roots;
}

// The first window of the list whose label matches; the property requests go
// out together so a long list costs one round trip.
xcb_window_t FirstLabelled(xcb_connection_t* c, const std::vector<xcb_window_t>& windows,
                           xcb_atom_t labelAtom, std::int32_t label)
{
    std::vector<xcb_get_property_cookie_t> cookies;
    cookies.reserve(windows.size());
    for (xcb_window_t w : windows)
        cookies.push_back(xcb_get_property(c, 0, w, labelAtom, XCB_ATOM_CARDINAL, 0, 1));
    xcb_window_t found = XCB_WINDOW_NONE;
    for (size_t i = 0; i < cookies.size(); ++i) {
        // Every reply is collected, also after a match, so none is left pending.
        auto reply = Own(xcb_get_property_reply(c, cookies[i], nullptr));
        if (found != XCB_WINDOW_NONE || !reply)
            continue;
        if (reply->type == XCB_ATOM_CARDINAL && reply->format == 32
            && xcb_get_property_value_length(reply.get()) >= 4) {
            std::int32_t value;
            std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
            if (value == label)
                found = windows[i];
        }
    }
    return found;
}

std::vector<xcb_window_t> ClientList(xcb_connection_t* c, xcb_window_t root)
{
    const xcb_atom_t atom = Atom(c, "_NET_CLIENT_LIST", true);
    if (atom == XCB_ATOM_NONE)
        return {};
    auto reply = Own(
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, atom, XCB_ATOM_WINDOW, 0, 1u << 16), nullptr));
    if (!reply || reply->type != XCB_ATOM_WINDOW || reply->format != 32)
        return {};
    const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(reply.get()));
    return std::vector<xcb_window_t>(ids, ids + xcb_get_property_value_length(reply.get()) / 4);
}

std::vector<xcb_window_t> ChildrenOf(xcb_connection_t* c, const std::vector<xcb_window_t>& parents)
{
    std::vector<xcb_query_tree_cookie_t> cookies;
    cookies.reserve(parents.size());
    for (xcb_window_t p : parents)
        cookies.push_back(xcb_query_tree(c, p));
    std::vector<xcb_window_t> children;
    for (auto cookie : cookies) {
        auto reply = Own(xcb_query_tree_reply(c, cookie, nullptr));
        if (!reply)
            continue;  // the window went away meanwhile
        const xcb_window_t* ids = xcb_query_tree_children(reply.get());
        children.insert(children.end(), ids, ids + xcb_query_tree_children_length(reply.get()));
    }
    return children;
}

// Runs work on a connection to the display for a window; false without a
// window or a display.
template <typename Work>
bool OnWindow(std::uint32_t window, Work work)
{
    if (window == 0)
        return false;
    Connection conn;
    return conn && work(conn.get());
}

}  // namespace

std::uint32_t FindWindowByLabel(std::int32_t label)
{
    if (label == 0)
        return 0;
    Connection conn;
    if (!conn)
        return 0;
    xcb_connection_t* c = conn.get();
    // No window can carry a property whose name was never interned.
    const xcb_atom_t labelAtom = Atom(c, kLabelAtom, true);
    if (labelAtom == XCB_ATOM_NONE)
        return 0;

    const std::vector<xcb_window_t> roots = Roots(c);
    for (xcb_window_t root : roots) {
        if (xcb_window_t w = FirstLabelled(c, ClientList(c, root), labelAtom, label))
            return w;
    }
    // Without a window manager's list (or for windows it does not manage, such
    // as hidden ones), walk the tree: top-level windows, then the windows a
    // reparenting manager put inside its frames.
    const std::vector<xcb_window_t> topLevel = ChildrenOf(c, roots);
    if (xcb_window_t w = FirstLabelled(c, topLevel, labelAtom, label))
        return w;
    return FirstLabelled(c, ChildrenOf(c, topLevel), labelAtom, label);
}

bool WindowExists(std::uint32_t window)
{
    return OnWindow(window, [window](xcb_connection_t* c) {
        return Own(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr))
            != nullptr;
    });
}

bool RequestWindowClose(std::uint32_t window)
{
    return OnWindow(window, [window](xcb_connection_t* c) {
        xcb_client_message_event_t event;
        std::memset(&event, 0, sizeof event);
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = Atom(c, "WM_PROTOCOLS", false);
        event.data.data32[0] = Atom(c, "WM_DELETE_WINDOW", false);
        event.data.data32[1] = XCB_CURRENT_TIME;
        // An empty event mask delivers the message to the window's owner, as the
        // window manager's own close request is delivered.
        auto error = Own(xcb_request_check(c,
                                           xcb_send_event_checked(c, 0, window, XCB_EVENT_MASK_NO_EVENT,
                                                                  reinterpret_cast<const char*>(&event))));
        return !error;
    });
}

bool SetWindowLabel(std::uint32_t window, std::int32_t label)
{
    return OnWindow(window, [window, label](xcb_connection_t* c) {
        const xcb_atom_t atom = Atom(c, kLabelAtom, false);
        if (atom == XCB_ATOM_NONE)
            return false;
        auto error = Own(xcb_request_check(c,
                                           xcb_change_property_checked(c, XCB_PROP_MODE_REPLACE, window, atom,
                                                                       XCB_ATOM_CARDINAL, 32, 1, &label)));
        return !error;
    });
}

}  // namespace PLATFORM
