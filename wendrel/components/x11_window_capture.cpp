#include "wendrel/components/x11_window_capture.h"

#include <cairo-xcb.h>
#include <cairo.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

struct ConnectionCloser {
  void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using XConnection = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

struct ReplyFree {
  void operator()(void* reply) const { std::free(reply); }
};
template <class T>
using Reply = std::unique_ptr<T, ReplyFree>;

// A connection to $DISPLAY; null when there is none.
XConnection Connect() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || display[0] == '\0') return nullptr;
  XConnection connection(xcb_connect(display, nullptr));
  if (xcb_connection_has_error(connection.get()) != 0) return nullptr;
  return connection;
}

Reply<xcb_get_geometry_reply_t> Geometry(xcb_connection_t* connection, uint32_t window) {
  xcb_generic_error_t* error = nullptr;
  Reply<xcb_get_geometry_reply_t> reply(
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, window), &error));
  std::free(error);
  return reply;
}

// The description of a visual of the display, to read the window's pixels with.
xcb_visualtype_t* FindVisual(xcb_connection_t* connection, xcb_visualid_t id) {
  for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection)); screens.rem; xcb_screen_next(&screens)) {
    for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem; xcb_depth_next(&depths)) {
      for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem; xcb_visualtype_next(&visuals)) {
        if (visuals.data->visual_id == id) return visuals.data;
      }
    }
  }
  return nullptr;
}

}  // namespace

std::optional<WindowSize> X11WindowSize(uint32_t window) {
  XConnection connection = Connect();
  if (!connection || window == 0) return std::nullopt;
  Reply<xcb_get_geometry_reply_t> geometry = Geometry(connection.get(), window);
  if (!geometry) return std::nullopt;
  return WindowSize{geometry->width, geometry->height};
}

bool CaptureX11Window(uint32_t window, cairo_surface_t* target) {
  XConnection connection = Connect();
  if (!connection || window == 0 || target == nullptr) return false;
  xcb_generic_error_t* error = nullptr;
  Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
      connection.get(), xcb_get_window_attributes(connection.get(), window), &error));
  std::free(error);
  if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE) return false;
  Reply<xcb_get_geometry_reply_t> geometry = Geometry(connection.get(), window);
  xcb_visualtype_t* visual = FindVisual(connection.get(), attributes->visual);
  if (!geometry || visual == nullptr) return false;
  cairo_surface_t* source =
      cairo_xcb_surface_create(connection.get(), window, visual, geometry->width, geometry->height);
  // cairo keeps a device per connection: it is finished before the connection closes.
  cairo_device_t* device = cairo_device_reference(cairo_surface_get_device(source));
  cairo_t* context = cairo_create(target);
  cairo_set_operator(context, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(context, source, 0, 0);
  cairo_paint(context);
  bool painted = cairo_status(context) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(context);
  cairo_surface_destroy(source);
  cairo_device_finish(device);
  cairo_device_destroy(device);
  cairo_surface_flush(target);
  return painted;
}
