#pragma once
// Windows of this system are X11 windows, reached on the display that $DISPLAY names. What a
// window shows (its child windows included, as the server composes them) is copied into a
// drawing surface; X has no way to make another program paint into our surface on request, so
// the window must be mapped and is captured as it stands.
//
// The X protocol is spoken through XCB: a request's error comes back with that request, so no
// process-wide error handler is installed behind a host that uses Xlib itself. Each call opens
// its own connection.

#include <cstdint>
#include <optional>

typedef struct _cairo_surface cairo_surface_t;

struct WindowSize {
  int width = 0;
  int height = 0;
};

/// The size of a window's area; nothing without a display or for an id that is no window.
std::optional<WindowSize> X11WindowSize(uint32_t window);

/// Copies the window's content into `target` at (0, 0), clipped to the target's size; false
/// without a display, for an id that is no window, or for a window that is not viewable.
bool CaptureX11Window(uint32_t window, cairo_surface_t* target);
