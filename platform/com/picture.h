#pragma once
// What draws itself into a device context (platform/system/device_context.h): the standard
// picture interface and the view-object interface of controls.
//
// Picture sizes and source rectangles are in HIMETRIC units (0.01 mm; 2540 per inch, and a
// display pixel is 1/96 inch). Picture coordinates grow to the right and upwards from the
// picture's bottom-left corner, as on the platform, so the source rectangle (0, height, width,
// -height) is the whole picture drawn upright.

#include "platform/automation/ole_interfaces.h"
#include "platform/system/device_context.h"

using OLE_XSIZE_HIMETRIC = int32_t;
using OLE_YSIZE_HIMETRIC = int32_t;
using OLE_XPOS_HIMETRIC = int32_t;
using OLE_YPOS_HIMETRIC = int32_t;

struct RECTL {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

/// HIMETRIC units per inch and display pixels per inch.
inline constexpr int32_t kHimetricPerInch = 2540;
inline constexpr int32_t kPixelsPerInch = 96;

inline constexpr IID IID_IPicture = {0x7BF80980, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};
inline constexpr IID IID_IViewObject = {0x0000010D, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IViewObjectEx = {0x3AF24292, 0x0C96, 0x11CE, {0xA0, 0xCF, 0x00, 0xAA, 0x00, 0x60, 0x0A, 0xB8}};

/// The aspect a control draws: its content.
inline constexpr DWORD DVASPECT_CONTENT = 1;

class IPicture : public IUnknown {
 public:
  virtual HRESULT get_Width(OLE_XSIZE_HIMETRIC* width) = 0;
  virtual HRESULT get_Height(OLE_YSIZE_HIMETRIC* height) = 0;
  /// Draws the part of the picture inside the source rectangle (picture coordinates: x_src,
  /// y_src, then cx_src, cy_src, either of which may be negative to mirror) scaled into the
  /// destination rectangle x, y, cx, cy (pixels of the device context). `bounds` is unused.
  virtual HRESULT Render(HDC dc, int32_t x, int32_t y, int32_t cx, int32_t cy, OLE_XPOS_HIMETRIC x_src,
                         OLE_YPOS_HIMETRIC y_src, OLE_XSIZE_HIMETRIC cx_src, OLE_YSIZE_HIMETRIC cy_src,
                         const RECTL* bounds) = 0;

 protected:
  ~IPicture() = default;
};

class IViewObject : public IUnknown {
 public:
  /// Draws the aspect of the object into the rectangle `bounds` (pixels of the device context).
  virtual HRESULT Draw(DWORD aspect, HDC dc, const RECTL* bounds) = 0;

 protected:
  ~IViewObject() = default;
};

/// The extended view object of windowless controls; it draws as IViewObject does.
class IViewObjectEx : public IViewObject {
 protected:
  ~IViewObjectEx() = default;
};
