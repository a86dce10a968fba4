// Window markers on X11: a top-level window carries the integer property
// "NorvexLabel" (32-bit CARDINAL) so that the installer can find a running copy
// of the product and ask it to close.
//
// Window ids are X11 window ids; 0 means none. Every call opens its own short
// connection to $DISPLAY. Without a display (unset, or no server answering)
// nothing is found and nothing is sent.
#pragma once

#include <cstdint>

namespace PLATFORM {

// The first top-level client window whose NorvexLabel equals label, or 0.
// Looks at the window manager's _NET_CLIENT_LIST when there is one, else at
// the root windows' children and their children (under a window manager that
// reparents, the client window sits inside a frame). Label 0 marks nothing
// and finds nothing.
std::uint32_t FindWindowByLabel(std::int32_t label);

// Whether the window still exists.
bool WindowExists(std::uint32_t window);

// Sends the window manager's close request (WM_PROTOCOLS / WM_DELETE_WINDOW)
// to the window. True when the server accepted it.
bool RequestWindowClose(std::uint32_t window);

// Sets NorvexLabel on a window, replacing an earlier value.
bool SetWindowLabel(std::uint32_t window, std::int32_t label);

}  // namespace PLATFORM
