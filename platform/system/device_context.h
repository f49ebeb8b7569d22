#pragma once
// Device contexts: drawing surfaces known by a handle number, as the platform's graphics layer
// hands them out. A memory device context here is a cairo image surface (32-bit pixels, the
// top byte unused, then red, green and blue); whoever holds its handle draws on it with cairo
// (cairo_create on DeviceContextSurface(handle)). The table is process-wide, so a host and every
// module see the same handles.
//
// The surface stays owned by whoever registered it; it unregisters the handle before it
// destroys the surface. A handle that was unregistered is not handed out again before its slot
// has been reused 65535 times.

#include <cstdint>

typedef struct _cairo_surface cairo_surface_t;

using HDC = uint32_t;

/// A new handle for a surface; 0 when the table is full (65535 live handles).
HDC RegisterDeviceContext(cairo_surface_t* surface);
/// Points a handle at another surface (a device context whose bitmap was recreated); false for
/// a handle that is not registered.
bool ReplaceDeviceContextSurface(HDC handle, cairo_surface_t* surface);
/// Forgets a handle; nothing happens for one that is not registered.
void UnregisterDeviceContext(HDC handle);
/// The surface behind a handle; null for 0 or a handle that is not registered.
cairo_surface_t* DeviceContextSurface(HDC handle);
