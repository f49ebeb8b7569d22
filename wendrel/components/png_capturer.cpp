#include "wendrel/components/png_capturer.h"

#include <algorithm>
#include <new>

#include "platform/automation/conversion.h"
#include "platform/com/picture.h"
#include "wendrel/components/palette_quantizer.h"
#include "wendrel/components/png_encoder.h"
#include "wendrel/components/x11_window_capture.h"

namespace {

int64_t RoundDownToFour(int64_t value) { return value - value % 4; }

// A window handle: an X window id (29 bits), given as any whole number.
Result<uint32_t> WindowArgument(const VARIANT& value) {
  VARIANT shallow = PeekValue(value);
  if (shallow.vt == VT_I8 || shallow.vt == VT_UI8) return static_cast<uint32_t>(shallow.llVal);
  return static_cast<uint32_t>(TRY(ToInt32(shallow)));
}

int64_t HimetricToPixels(int64_t himetric) {
  return (himetric * kPixelsPerInch + kHimetricPerInch / 2) / kHimetricPerInch;
}

void PaintWhite(cairo_surface_t* surface) {
  cairo_t* context = cairo_create(surface);
  cairo_set_source_rgb(context, 1, 1, 1);
  cairo_paint(context);
  cairo_destroy(context);
}

}  // namespace

PNGCapturer::PNGCapturer() : image_(CreateMemoryStream()) {}

PNGCapturer::~PNGCapturer() { ReleaseSurface(); }

std::span<const DispatchMember<PNGCapturer>> PNGCapturer::Members() {
  using P = PNGCapturer;
  static constexpr DispatchMember<P> kMembers[] = {
      {u"Size", 0x60020000, kPropertyGet, 0, 0, &P::GetSize},
      {u"MemHandle", 0x60020001, kPropertyGet, 0, 0, &P::GetMemHandle},
      {u"Init", 0x60020003, kMethod, 3, 3, &P::Init, u"WindowHandle,PictWidth,PictHeight"},
      {u"Width", 0x60020004, kPropertyGet, 0, 0, &P::GetWidth},
      {u"Height", 0x60020006, kPropertyGet, 0, 0, &P::GetHeight},
      {u"ReleaseMemory", 0x60020008, kMethod, 0, 0, &P::ReleaseMemory},
      {u"Form2PNG", 0x60020009, kMethod, 1, 1, &P::Form2PNG, u"WindowHandle"},
      {u"RefreshInvisibleControl", 0x6002000a, kMethod, 5, 5, &P::RefreshInvisibleControl,
       u"ControlObject,ParentLeft,ParentTop,ParentWidth,ParentHeight"},
      {u"MemDC2PNG", 0x6002000c, kMethod, 0, 0, &P::MemDC2PNG},
      {u"MemDC", 0x6002000d, kPropertyGet, 0, 0, &P::GetMemDC},
      {u"Dirty", 0x6002000e, kPropertyGet, 0, 0, &P::GetDirty},
      {u"Dirty", 0x6002000e, kPropertyPut, 0, 0, &P::PutDirty},
      {u"Pct2Png", 0x6002000f, kMethod, 1, 1, &P::Pct2Png, u"Pict"},
      {u"Value", DISPID_VALUE, kPropertyGet, 0, 0, &P::GetValue},
  };
  return kMembers;
}

bool PNGCapturer::Initialise(int64_t width, int64_t height) {
  width = RoundDownToFour(width);
  height = RoundDownToFour(height);
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || width * height > kMaxPixels) {
    return false;
  }
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(width), static_cast<int>(height));
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return false;
  }
  PaintWhite(surface);
  if (dc_ == 0 || !ReplaceDeviceContextSurface(dc_, surface)) dc_ = RegisterDeviceContext(surface);
  if (dc_ == 0) {
    cairo_surface_destroy(surface);
    return false;
  }
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
  surface_ = surface;
  width_ = static_cast<int>(width);
  height_ = static_cast<int>(height);
  return true;
}

void PNGCapturer::ReleaseSurface() {
  UnregisterDeviceContext(dc_);
  dc_ = 0;
  if (surface_ != nullptr) cairo_surface_destroy(surface_);
  surface_ = nullptr;
}

bool PNGCapturer::Encode() {
  if (!Initialised()) return false;
  cairo_surface_flush(surface_);
  PaletteImage image = QuantizeToPalette(cairo_image_surface_get_data(surface_), width_, height_,
                                         cairo_image_surface_get_stride(surface_));
  ++encodings_;
  has_image_ = WritePalettePng(image_.get(), image);
  if (has_image_) dirty_ = false;
  return has_image_;
}

Result<void> PNGCapturer::EnsureImage() {
  if (dirty_ && !Encode()) return Error::FromHresult(E_FAIL);
  if (!has_image_) return Error::FromHresult(E_FAIL);
  return {};
}

Result<Variant> PNGCapturer::GetSize(const DispatchArguments&) {
  return Variant::FromI4(has_image_ ? static_cast<int32_t>(MemoryStreamContents(image_.get()).size()) : 0);
}

Result<Variant> PNGCapturer::GetMemHandle(const DispatchArguments&) {
  TRY(EnsureImage());
  // The address of the encoded bytes, valid until the next encoding or the object's release.
  Variant address;
  address.vt = VT_I8;
  address.llVal = reinterpret_cast<intptr_t>(MemoryStreamContents(image_.get()).data());
  return address;
}

Result<Variant> PNGCapturer::Init(const DispatchArguments& arguments) {
  uint32_t window = TRY(WindowArgument(arguments[0]));
  int32_t width = TRY(ToInt32(arguments[1]));
  int32_t height = TRY(ToInt32(arguments[2]));
  // Window 0 is the screen, which any surface suits; another must be a window of the display.
  if (window != 0 && !X11WindowSize(window)) return Variant::FromBool(false);
  return Variant::FromBool(Initialise(width, height));
}

Result<Variant> PNGCapturer::GetWidth(const DispatchArguments&) { return Variant::FromI4(width_); }

Result<Variant> PNGCapturer::GetHeight(const DispatchArguments&) { return Variant::FromI4(height_); }

Result<Variant> PNGCapturer::ReleaseMemory(const DispatchArguments&) {
  ReleaseSurface();
  return Variant();
}

// The surface follows the window's size: a window that changed size since the surface was
// made gets a new surface, so what is painted and what is encoded always agree.
Result<Variant> PNGCapturer::Form2PNG(const DispatchArguments& arguments) {
  uint32_t window = TRY(WindowArgument(arguments[0]));
  std::optional<WindowSize> size = X11WindowSize(window);
  if (!size) return Variant::FromBool(false);
  int64_t width = RoundDownToFour(size->width);
  int64_t height = RoundDownToFour(size->height);
  bool same_size = Initialised() && width == width_ && height == height_;
  if (!same_size && !Initialise(width, height)) return Variant::FromBool(false);
  if (!CaptureX11Window(window, surface_)) return Variant::FromBool(false);
  dirty_ = true;
  return Variant::FromBool(true);
}

Result<Variant> PNGCapturer::RefreshInvisibleControl(const DispatchArguments& arguments) {
  if (!Initialised()) return Error::FromHresult(E_FAIL);
  VARIANT control = PeekValue(arguments[0]);
  if ((control.vt != VT_DISPATCH && control.vt != VT_UNKNOWN) || control.punkVal == nullptr) {
    return ErrorNumber::TypeMismatch;
  }
  ComPtr<IUnknown> object(control.punkVal);
  // The extended view object first; it draws as the basic one does.
  ComPtr<IViewObject> view = object.As<IViewObject>(IID_IViewObjectEx);
  if (!view) view = object.As<IViewObject>(IID_IViewObject);
  if (!view) return Error::FromHresult(E_NOINTERFACE);
  int64_t parent_left = TRY(ToInt32(arguments[1]));
  int64_t parent_top = TRY(ToInt32(arguments[2]));
  int64_t parent_width = TRY(ToInt32(arguments[3]));
  int64_t parent_height = TRY(ToInt32(arguments[4]));
  // Clipped to the surface; right and bottom never before left and top.
  int64_t left = std::max<int64_t>(parent_left, 0);
  int64_t top = std::max<int64_t>(parent_top, 0);
  int64_t right = std::max(std::min<int64_t>(parent_left + parent_width, width_), left);
  int64_t bottom = std::max(std::min<int64_t>(parent_top + parent_height, height_), top);
  RECTL bounds{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
               static_cast<int32_t>(bottom)};
  HRESULT hr = view->Draw(DVASPECT_CONTENT, dc_, &bounds);
  if (FAILED(hr)) return Error::FromHresult(hr);
  dirty_ = true;  // the picture changed
  return Variant();
}

Result<Variant> PNGCapturer::GetMemDC(const DispatchArguments&) {
  if (!Initialised()) return Error::FromHresult(E_FAIL);
  return Variant::FromI4(static_cast<int32_t>(dc_));
}

Result<Variant> PNGCapturer::MemDC2PNG(const DispatchArguments&) { return Variant::FromBool(Encode()); }

Result<Variant> PNGCapturer::GetDirty(const DispatchArguments&) { return Variant::FromBool(dirty_); }

Result<Variant> PNGCapturer::PutDirty(const DispatchArguments& arguments) {
  dirty_ = TRY(ToBool(arguments.value()));
  return Variant();
}

Result<Variant> PNGCapturer::Pct2Png(const DispatchArguments& arguments) {
  VARIANT value = PeekValue(arguments[0]);
  if ((value.vt != VT_DISPATCH && value.vt != VT_UNKNOWN) || value.punkVal == nullptr) {
    return Variant::FromBool(false);
  }
  ComPtr<IPicture> picture = ComPtr<IUnknown>(value.punkVal).As<IPicture>(IID_IPicture);
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  if (!picture || FAILED(picture->get_Width(&width)) || FAILED(picture->get_Height(&height))) {
    return Variant::FromBool(false);
  }
  int64_t pixel_width = HimetricToPixels(width);
  int64_t pixel_height = HimetricToPixels(height);
  if (!Initialised() && !Initialise(pixel_width, pixel_height)) return Variant::FromBool(false);
  // Upside down in picture coordinates (which grow upwards), so the image comes out upright.
  HRESULT hr = picture->Render(dc_, 0, 0, static_cast<int32_t>(std::min<int64_t>(pixel_width, kMaxSide)),
                               static_cast<int32_t>(std::min<int64_t>(pixel_height, kMaxSide)), 0, height, width,
                               -height, nullptr);
  if (FAILED(hr)) return Variant::FromBool(false);
  cairo_surface_mark_dirty(surface_);
  dirty_ = true;
  return Variant::FromBool(true);
}

Result<Variant> PNGCapturer::GetValue(const DispatchArguments&) {
  TRY(EnsureImage());
  // A stream of its own over a copy of the image: later encodings do not change what a caller
  // is still reading.
  std::span<const std::byte> bytes = MemoryStreamContents(image_.get());
  ComPtr<IStream> stream = CreateMemoryStream();
  ULONG written = 0;
  if (FAILED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written)) || written != bytes.size() ||
      FAILED(stream->Seek(0, STREAM_SEEK_SET, nullptr))) {
    return Error::FromHresult(E_FAIL);
  }
  return Variant::FromUnknown(stream.get());
}

IUnknown* CreatePNGCapturer() { return static_cast<IDispatch*>(new (std::nothrow) PNGCapturer()); }
