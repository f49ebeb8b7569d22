#pragma once
// PNGCapturer: a creatable object that turns what a window, a control or a picture shows into
// a PNG image in memory, so a host can serve its own forms and charts (Response.BinaryWrite
// takes the Value stream). It paints into an off-screen drawing surface (the memory device
// context, a cairo image surface whose handle MemDC gives), reduces it to a 256-colour palette
// and encodes it with libpng into a memory stream.
//
// Windows are X11 windows (x11_window_capture.h); pictures and controls draw through the
// platform's IPicture and IViewObject (platform/com/picture.h). Width and height are always
// multiples of 4. Used from the thread that created it: no lock of its own.

#include <cairo.h>

#include "platform/com/dispatch_object.h"
#include "platform/com/stream.h"
#include "platform/system/device_context.h"

class PNGCapturer : public DispatchObject<PNGCapturer> {
 public:
  /// The largest surface: sides up to 16384 pixels and 32 Mi pixels in all.
  static constexpr int kMaxSide = 16384;
  static constexpr int64_t kMaxPixels = int64_t{32} << 20;

  PNGCapturer();
  ~PNGCapturer() override;

  static std::span<const DispatchMember<PNGCapturer>> Members();
  std::u16string_view TypeName() override { return u"PNGCapturer"; }

  /// Encodings made so far (tests see from it when an image was encoded again).
  int EncodingCount() const { return encodings_; }

 private:
  Result<Variant> GetSize(const DispatchArguments& arguments);
  Result<Variant> GetMemHandle(const DispatchArguments& arguments);
  Result<Variant> Init(const DispatchArguments& arguments);
  Result<Variant> GetWidth(const DispatchArguments& arguments);
  Result<Variant> GetHeight(const DispatchArguments& arguments);
  Result<Variant> ReleaseMemory(const DispatchArguments& arguments);
  Result<Variant> Form2PNG(const DispatchArguments& arguments);
  Result<Variant> RefreshInvisibleControl(const DispatchArguments& arguments);
  Result<Variant> GetMemDC(const DispatchArguments& arguments);
  Result<Variant> MemDC2PNG(const DispatchArguments& arguments);
  Result<Variant> GetDirty(const DispatchArguments& arguments);
  Result<Variant> PutDirty(const DispatchArguments& arguments);
  Result<Variant> Pct2Png(const DispatchArguments& arguments);
  Result<Variant> GetValue(const DispatchArguments& arguments);

  /// A surface of the size rounded down to multiples of 4, white; the device-context handle
  /// stays the same across a new surface. False for a size that rounds to nothing or passes
  /// the limits.
  bool Initialise(int64_t width, int64_t height);
  void ReleaseSurface();
  bool Initialised() const { return surface_ != nullptr; }
  /// Encodes the surface into the image stream; false when there is no surface or libpng failed.
  bool Encode();
  /// Encodes when dirty; E_FAIL when that fails or there is no image at all.
  Result<void> EnsureImage();

  cairo_surface_t* surface_ = nullptr;
  HDC dc_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool dirty_ = false;
  bool has_image_ = false;
  ComPtr<IStream> image_;
  int encodings_ = 0;
};

/// The class for the module's class factory; null when memory runs out.
IUnknown* CreatePNGCapturer();
