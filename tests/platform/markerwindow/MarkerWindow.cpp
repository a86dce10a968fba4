// Test stand-in for the product's main window: opens an X11 window whose
// NorvexLabel property holds the first argument, prints the window's id once
// the server has it, and exits 0 on the close request (WM_DELETE_WINDOW).
//
//   norvex_markerwindow LABEL [DEPTH]
//
// DEPTH > 0 puts the labelled window that many levels below an unlabelled
// top-level window, the way a reparenting window manager frames a client.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <xcb/xcb.h>

namespace {

xcb_atom_t Atom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(r);
    return atom;
}

xcb_window_t NewWindow(xcb_connection_t* c, xcb_window_t parent, xcb_visualid_t visual)
{
    const xcb_window_t w = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, parent, 0, 0, 200, 100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      visual, 0, nullptr);
    xcb_map_window(c, w);
    return w;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LABEL [DEPTH]\n", argv[0]);
        return 2;
    }
    const int32_t label = static_cast<int32_t>(std::strtol(argv[1], nullptr, 10));
    const int depth = argc > 2 ? std::atoi(argv[2]) : 0;

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "no display\n");
        return 3;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;

    xcb_window_t window = NewWindow(c, screen->root, screen->root_visual);
    for (int i = 0; i < depth; ++i)
        window = NewWindow(c, window, screen->root_visual);

    const xcb_atom_t protocols = Atom(c, "WM_PROTOCOLS");
    const xcb_atom_t deleteWindow = Atom(c, "WM_DELETE_WINDOW");
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, protocols, XCB_ATOM_ATOM, 32, 1, &deleteWindow);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, Atom(c, "NorvexLabel"), XCB_ATOM_CARDINAL, 32, 1,
                        &label);

    // A round trip makes sure the server has applied everything above.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    std::printf("%u\n", window);
    std::fflush(stdout);

    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const bool close = (event->response_type & 0x7F) == XCB_CLIENT_MESSAGE
            && reinterpret_cast<xcb_client_message_event_t*>(event)->type == protocols
            && reinterpret_cast<xcb_client_message_event_t*>(event)->data.data32[0] == deleteWindow;
        std::free(event);
        if (close) {
            xcb_disconnect(c);
            return 0;
        }
    }
    // The server went away without asking us to close.
    xcb_disconnect(c);
    return 4;
}
