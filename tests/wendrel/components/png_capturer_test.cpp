// PNGCapturer driven by name: the surface and its sizes, drawing on MemDC with cairo, pictures
// and controls drawing themselves, X11 windows of a virtual X server the test starts, and every
// image checked by decoding it with libpng and comparing pixels with what was drawn.
#include "wendrel/components/png_capturer.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/automation/conversion.h"
#include "platform/automation/dispatch_call.h"
#include "platform/com/com_object.h"
#include "platform/com/picture.h"
#include "tests/support/xvfb_display.h"
#include "tests/wendrel/components/png_test_support.h"
#include "wendrel/components/png_encoder.h"

namespace {

Variant I(int32_t value) { return Variant::FromI4(value); }

Result<Variant> Call(IDispatch* object, std::u16string_view name, std::vector<Variant> arguments = {}) {
  std::vector<VARIANT> passed(arguments.begin(), arguments.end());
  return CallMember(object, name, passed);
}

bool True(const Result<Variant>& value) { return value.ok() && value.value().vt == VT_BOOL && value.value().boolVal == VARIANT_TRUE; }
bool False(const Result<Variant>& value) { return value.ok() && value.value().vt == VT_BOOL && value.value().boolVal == VARIANT_FALSE; }

// The bytes of a stream from its position to its end.
std::string StreamText(IUnknown* object) {
  ComPtr<IStream> stream = ComPtr<IUnknown>(object).As<IStream>(IID_IStream);
  std::string bytes;
  char block[4096];
  for (ULONG got = 0; stream && SUCCEEDED(stream->Read(block, sizeof(block), &got)) && got > 0;) bytes.append(block, got);
  return bytes;
}

// Fills a rectangle of a device context with a colour, as a host draws on MemDC.
void FillRectangle(HDC dc, int x, int y, int width, int height, uint32_t colour) {
  cairo_surface_t* surface = DeviceContextSurface(dc);
  ASSERT_NE(surface, nullptr);
  cairo_t* context = cairo_create(surface);
  cairo_set_source_rgb(context, ((colour >> 16) & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, (colour & 0xFF) / 255.0);
  cairo_rectangle(context, x, y, width, height);
  cairo_fill(context);
  cairo_destroy(context);
}

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0xE01010;
constexpr uint32_t kGreen = 0x20B040;
constexpr uint32_t kBlue = 0x1030D0;
constexpr uint32_t kYellow = 0xF0E020;

class PngCapturerTest : public ::testing::Test {
 protected:
  IDispatch* capturer() { return capturer_.get(); }
  HDC MemDC() { return static_cast<HDC>(Call(capturer(), u"MemDC").value().lVal); }
  DecodedPng Image() {
    Result<Variant> value = Call(capturer(), u"Value");
    EXPECT_TRUE(value.ok());
    if (!value.ok()) return {};
    EXPECT_EQ(value.value().vt, VT_UNKNOWN);
    std::optional<DecodedPng> image = DecodePng(StreamText(value.value().punkVal));
    EXPECT_TRUE(image.has_value());
    return image.value_or(DecodedPng{});
  }

  ComPtr<PNGCapturer> capturer_ = MakeObject<PNGCapturer>();
};

TEST_F(PngCapturerTest, MembersHaveTheirDispatchIdentifiers) {
  struct Case {
    std::u16string_view name;
    DISPID dispid;
  } cases[] = {{u"Size", 0x60020000},       {u"MemHandle", 0x60020001}, {u"Init", 0x60020003},
               {u"Width", 0x60020004},      {u"Height", 0x60020006},    {u"ReleaseMemory", 0x60020008},
               {u"Form2PNG", 0x60020009},   {u"RefreshInvisibleControl", 0x6002000a},
               {u"MemDC2PNG", 0x6002000c},  {u"MemDC", 0x6002000d},     {u"Dirty", 0x6002000e},
               {u"Pct2Png", 0x6002000f},    {u"Value", 0}};
  for (const Case& c : cases) EXPECT_EQ(GetDispatchId(capturer(), c.name).value(), c.dispid);
}

TEST_F(PngCapturerTest, InitRoundsTheSizeDownToMultiplesOfFour) {
  struct Case {
    int32_t width, height;
    bool initialised;
    int32_t expected_width, expected_height;
  } cases[] = {{101, 57, true, 100, 56}, {4, 4, true, 4, 4},   {8, 3, false, 0, 0},
               {3, 8, false, 0, 0},      {0, 0, false, 0, 0},  {-8, 8, false, 0, 0},
               {16388, 8, false, 0, 0},  {8192, 8192, false, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    ComPtr<PNGCapturer> fresh = MakeObject<PNGCapturer>();
    Result<Variant> done = Call(fresh.get(), u"Init", {I(0), I(c.width), I(c.height)});
    EXPECT_TRUE(c.initialised ? True(done) : False(done));
    EXPECT_EQ(Call(fresh.get(), u"Width").value().lVal, c.expected_width);
    EXPECT_EQ(Call(fresh.get(), u"Height").value().lVal, c.expected_height);
    EXPECT_EQ(Call(fresh.get(), u"MemDC").ok(), c.initialised);
  }
}

TEST_F(PngCapturerTest, WithoutAnImageTheImageMembersFail) {
  for (std::u16string_view member : {u"MemDC", u"MemHandle", u"Value"}) {
    Result<Variant> read = Call(capturer(), member);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.error().Hresult(), E_FAIL);
  }
  Result<Variant> refreshed = Call(capturer(), u"RefreshInvisibleControl", {I(0), I(0), I(0), I(1), I(1)});
  ASSERT_FALSE(refreshed.ok());
  EXPECT_EQ(refreshed.error().Hresult(), E_FAIL);
  EXPECT_TRUE(False(Call(capturer(), u"MemDC2PNG")));
  EXPECT_EQ(Call(capturer(), u"Size").value().lVal, 0);
  EXPECT_TRUE(False(Call(capturer(), u"Dirty")));
}

TEST_F(PngCapturerTest, WhatTheHostDrawsOnMemDCIsThePicture) {
  ASSERT_TRUE(True(Call(capturer(), u"Init", {I(0), I(40), I(20)})));
  FillRectangle(MemDC(), 0, 0, 20, 10, kRed);
  FillRectangle(MemDC(), 20, 10, 20, 10, kBlue);
  ASSERT_TRUE(True(Call(capturer(), u"MemDC2PNG")));
  EXPECT_GT(Call(capturer(), u"Size").value().lVal, 8);
  DecodedPng image = Image();
  EXPECT_EQ(image.width, 40);
  EXPECT_EQ(image.height, 20);
  EXPECT_TRUE(image.palette);
  EXPECT_EQ(image.bit_depth, 8);
  EXPECT_EQ(image.palette_entries, 256);
  // Few colours keep their exact values; the surface starts white.
  EXPECT_EQ(image.At(5, 5), kRed);
  EXPECT_EQ(image.At(39, 19), kBlue);
  EXPECT_EQ(image.At(30, 2), kWhite);
  EXPECT_EQ(image.At(2, 15), kWhite);
}

TEST_F(PngCapturerTest, ManyColoursStayCloseToWhatWasDrawn) {
  ASSERT_TRUE(True(Call(capturer(), u"Init", {I(0), I(128), I(64)})));
  cairo_surface_t* surface = DeviceContextSurface(MemDC());
  auto* pixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface));
  int stride = cairo_image_surface_get_stride(surface) / 4;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 128; ++x) pixels[y * stride + x] = (uint32_t(x * 2) << 16) | (uint32_t(y * 4) << 8) | uint32_t((x + y) % 256);
  }
  cairo_surface_mark_dirty(surface);
  ASSERT_TRUE(True(Call(capturer(), u"MemDC2PNG")));
  DecodedPng image = Image();
  ASSERT_EQ(image.width, 128);
  int worst = 0;
  double total = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 128; ++x) {
      int distance = ChannelDistance(image.At(x, y), pixels[y * stride + x] & 0xFFFFFF);
      worst = std::max(worst, distance);
      total += distance;
    }
  }
  EXPECT_LE(worst, 40);                  // no pixel strays far
  EXPECT_LE(total / (128 * 64), 10.0);   // and on average they stay close
}

TEST_F(PngCapturerTest, MemHandleEncodesOnceUntilTheNextCapture) {
  ASSERT_TRUE(True(Call(capturer(), u"Init", {I(0), I(8), I(8)})));
  FillRectangle(MemDC(), 0, 0, 8, 8, kGreen);
  ASSERT_TRUE(PutMember(capturer(), u"Dirty", {}, Variant::FromBool(true)).ok());
  Result<Variant> handle = Call(capturer(), u"MemHandle");
  ASSERT_TRUE(handle.ok());
  EXPECT_EQ(handle.value().vt, VT_I8);
  EXPECT_EQ(capturer_->EncodingCount(), 1);
  EXPECT_TRUE(False(Call(capturer(), u"Dirty")));
  int32_t size = Call(capturer(), u"Size").value().lVal;
  std::string at_handle(reinterpret_cast<const char*>(handle.value().llVal), static_cast<size_t>(size));
  FillRectangle(MemDC(), 0, 0, 8, 8, kRed);  // drawn, but nobody said the picture changed
  EXPECT_EQ(Call(capturer(), u"MemHandle").value().llVal, handle.value().llVal);
  EXPECT_EQ(capturer_->EncodingCount(), 1);
  DecodedPng image = Image();
  EXPECT_EQ(image.At(4, 4), kGreen);
  std::optional<DecodedPng> from_handle = DecodePng(at_handle);
  ASSERT_TRUE(from_handle);
  EXPECT_EQ(from_handle->At(0, 0), kGreen);
}

TEST_F(PngCapturerTest, ReleaseMemoryDropsTheSurfaceButKeepsTheImage) {
  ASSERT_TRUE(True(Call(capturer(), u"Init", {I(0), I(8), I(8)})));
  HDC dc = MemDC();
  ASSERT_TRUE(True(Call(capturer(), u"MemDC2PNG")));
  int32_t size = Call(capturer(), u"Size").value().lVal;
  ASSERT_TRUE(Call(capturer(), u"ReleaseMemory").ok());
  EXPECT_FALSE(Call(capturer(), u"MemDC").ok());
  EXPECT_EQ(DeviceContextSurface(dc), nullptr);  // the handle no longer draws anywhere
  EXPECT_EQ(Call(capturer(), u"Size").value().lVal, size);
  EXPECT_EQ(Image().At(0, 0), kWhite);
}

// A control that paints its bounds in one colour through IViewObject (or IViewObjectEx).
class PaintingControl : public DispatchObject<PaintingControl>, public IViewObjectEx {
 public:
  enum class Offers { Basic, Extended, Nothing };
  explicit PaintingControl(Offers offers) : offers_(offers) {}
  static std::span<const DispatchMember<PaintingControl>> Members() { return {}; }
  ULONG AddRef() override { return DispatchObject::AddRef(); }
  ULONG Release() override { return DispatchObject::Release(); }
  HRESULT QueryInterface(REFIID iid, void** object) override { return DispatchObject::QueryInterface(iid, object); }
  HRESULT Draw(DWORD aspect, HDC dc, const RECTL* bounds) override {
    aspect_ = aspect;
    drawn = *bounds;
    FillRectangle(dc, bounds->left, bounds->top, bounds->right - bounds->left, bounds->bottom - bounds->top, kYellow);
    return S_OK;
  }
  RECTL drawn{-1, -1, -1, -1};
  DWORD aspect_ = 0;

 protected:
  void* QueryOtherInterface(REFIID iid) override {
    if ((iid == IID_IViewObject && offers_ == Offers::Basic) || (iid == IID_IViewObjectEx && offers_ == Offers::Extended)) {
      return static_cast<IViewObjectEx*>(this);
    }
    return nullptr;
  }

 private:
  Offers offers_;
};

TEST_F(PngCapturerTest, ControlsDrawIntoTheClippedRectangle) {
  struct Case {
    int32_t left, top, width, height;
    RECTL expected;
  } cases[] = {
      {10, 10, 20, 20, {10, 10, 30, 30}},
      {-5, -6, 20, 20, {0, 0, 15, 14}},      // negative corners raised to 0
      {90, 50, 40, 40, {90, 50, 100, 56}},   // right and bottom lowered to the surface
      {120, 60, 10, 10, {120, 60, 120, 60}}, // never before left and top
      {20, 20, -10, -10, {20, 20, 20, 20}},
  };
  ASSERT_TRUE(True(Call(capturer(), u"Init", {I(0), I(101), I(57)})));
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.left) + "," + std::to_string(c.top));
    ComPtr<PaintingControl> control = MakeObject<PaintingControl>(PaintingControl::Offers::Extended);
    ASSERT_TRUE(Call(capturer(), u"RefreshInvisibleControl",
                     {Variant::FromDispatch(control.get()), I(c.left), I(c.top), I(c.width), I(c.height)}).ok());
    EXPECT_EQ(control->aspect_, DVASPECT_CONTENT);
    EXPECT_EQ(control->drawn.left, c.expected.left);
    EXPECT_EQ(control->drawn.top, c.expected.top);
    EXPECT_EQ(control->drawn.right, c.expected.right);
    EXPECT_EQ(control->drawn.bottom, c.expected.bottom);
  }
  EXPECT_TRUE(True(Call(capturer(), u"Dirty")));
  DecodedPng image = Image();
  EXPECT_EQ(image.At(15, 15), kYellow);
  EXPECT_EQ(image.At(95, 53), kYellow);
  EXPECT_EQ(image.At(50, 5), kWhite);
}

TEST_F(PngCapturerTest, ControlsWithTheBasicViewObjectOrNone) {
  ASSERT_TRUE(True(Call(capturer(), u"Init", {I(0), I(16), I(16)})));
  ComPtr<PaintingControl> basic = MakeObject<PaintingControl>(PaintingControl::Offers::Basic);
  ASSERT_TRUE(Call(capturer(), u"RefreshInvisibleControl", {Variant::FromDispatch(basic.get()), I(0), I(0), I(4), I(4)}).ok());
  EXPECT_EQ(basic->drawn.right, 4);
  ComPtr<PaintingControl> none = MakeObject<PaintingControl>(PaintingControl::Offers::Nothing);
  Result<Variant> refused = Call(capturer(), u"RefreshInvisibleControl", {Variant::FromDispatch(none.get()), I(0), I(0), I(4), I(4)});
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error().Hresult(), E_NOINTERFACE);
}

// A picture of four coloured quarters, red at the top left, as the platform's picture draws:
// source rectangles in HIMETRIC growing upwards from the bottom-left corner.
class QuarterPicture : public DispatchObject<QuarterPicture>, public IPicture {
 public:
  QuarterPicture(int32_t width, int32_t height) : width_(width), height_(height) {}
  static std::span<const DispatchMember<QuarterPicture>> Members() { return {}; }
  ULONG AddRef() override { return DispatchObject::AddRef(); }
  ULONG Release() override { return DispatchObject::Release(); }
  HRESULT QueryInterface(REFIID iid, void** object) override { return DispatchObject::QueryInterface(iid, object); }
  HRESULT get_Width(OLE_XSIZE_HIMETRIC* width) override {
    *width = width_;
    return S_OK;
  }
  HRESULT get_Height(OLE_YSIZE_HIMETRIC* height) override {
    *height = height_;
    return S_OK;
  }
  HRESULT Render(HDC dc, int32_t x, int32_t y, int32_t cx, int32_t cy, OLE_XPOS_HIMETRIC x_src, OLE_YPOS_HIMETRIC y_src,
                 OLE_XSIZE_HIMETRIC cx_src, OLE_YSIZE_HIMETRIC cy_src, const RECTL*) override {
    rendered = {x, y, cx, cy, x_src, y_src, cx_src, cy_src};
    cairo_surface_t* surface = DeviceContextSurface(dc);
    if (surface == nullptr) return E_INVALIDARG;
    auto* pixels = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface));
    int stride = cairo_image_surface_get_stride(surface) / 4;
    for (int dy = 0; dy < cy && y + dy < cairo_image_surface_get_height(surface); ++dy) {
      for (int dx = 0; dx < cx && x + dx < cairo_image_surface_get_width(surface); ++dx) {
        // The picture point under the pixel's centre, then its quarter (upper half: y above
        // the middle, in coordinates that grow upwards).
        double px = x_src + (dx + 0.5) * cx_src / cx;
        double py = y_src + (dy + 0.5) * cy_src / cy;
        bool left = px < width_ / 2.0;
        bool upper = py > height_ / 2.0;
        pixels[(y + dy) * stride + x + dx] = upper ? (left ? kRed : kGreen) : (left ? kBlue : kYellow);
      }
    }
    cairo_surface_mark_dirty(surface);
    return S_OK;
  }
  std::vector<int32_t> rendered;

 protected:
  void* QueryOtherInterface(REFIID iid) override {
    return iid == IID_IPicture ? static_cast<IPicture*>(this) : nullptr;
  }

 private:
  int32_t width_;
  int32_t height_;
};

TEST_F(PngCapturerTest, PicturesComeOutUprightAtTheirPixelSize) {
  // 2540 × 1270 HIMETRIC is one inch by half an inch: 96 × 48 pixels.
  ComPtr<QuarterPicture> picture = MakeObject<QuarterPicture>(2540, 1270);
  ASSERT_TRUE(True(Call(capturer(), u"Pct2Png", {Variant::FromDispatch(picture.get())})));
  EXPECT_EQ(Call(capturer(), u"Width").value().lVal, 96);
  EXPECT_EQ(Call(capturer(), u"Height").value().lVal, 48);
  EXPECT_EQ(picture->rendered, (std::vector<int32_t>{0, 0, 96, 48, 0, 1270, 2540, -1270}));
  EXPECT_TRUE(True(Call(capturer(), u"Dirty")));
  DecodedPng image = Image();
  EXPECT_EQ(image.At(5, 5), kRed);
  EXPECT_EQ(image.At(90, 5), kGreen);
  EXPECT_EQ(image.At(5, 40), kBlue);
  EXPECT_EQ(image.At(90, 40), kYellow);
}

TEST_F(PngCapturerTest, ObjectsThatAreNoPictureGiveFalse) {
  ComPtr<PaintingControl> control = MakeObject<PaintingControl>(PaintingControl::Offers::Basic);
  EXPECT_TRUE(False(Call(capturer(), u"Pct2Png", {Variant::FromDispatch(control.get())})));
  EXPECT_TRUE(False(Call(capturer(), u"Pct2Png", {I(5)})));
  EXPECT_EQ(Call(capturer(), u"Width").value().lVal, 0);
}

TEST(PngCapturerWithoutDisplay, WindowsCannotBeCaptured) {
  const char* display = std::getenv("DISPLAY");
  std::string saved = display == nullptr ? "" : display;
  unsetenv("DISPLAY");
  ComPtr<PNGCapturer> capturer = MakeObject<PNGCapturer>();
  EXPECT_TRUE(False(Call(capturer.get(), u"Form2PNG", {I(0x200001)})));
  EXPECT_TRUE(False(Call(capturer.get(), u"Init", {I(0x200001), I(8), I(8)})));
  EXPECT_TRUE(True(Call(capturer.get(), u"Init", {I(0), I(8), I(8)})));  // the screen needs none
  if (display != nullptr) setenv("DISPLAY", saved.c_str(), 1);
}

// A stream that takes nothing: libpng's write fails.
class RefusingStream final : public ComObject<RefusingStream, IStream> {
 public:
  static constexpr IID kInterfaces[] = {IID_ISequentialStream, IID_IStream};
  HRESULT Read(void*, ULONG, ULONG* read) override {
    if (read != nullptr) *read = 0;
    return S_OK;
  }
  HRESULT Write(const void*, ULONG, ULONG* written) override {
    if (written != nullptr) *written = 0;
    return STG_E_MEDIUMFULL;
  }
  HRESULT Seek(int64_t, DWORD, uint64_t*) override { return S_OK; }
  HRESULT SetSize(uint64_t) override { return S_OK; }
  HRESULT CopyTo(IStream*, uint64_t, uint64_t*, uint64_t*) override { return E_NOTIMPL; }
  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT Clone(IStream**) override { return E_NOTIMPL; }
};

TEST(PngEncoder, LibraryErrorsGoToTheEventLog) {
  std::string log = (std::filesystem::temp_directory_path() / ("png_encoder_log_" + std::to_string(getpid()))).string();
  setenv("WENDREL_EVENT_LOG_FILE", log.c_str(), 1);
  PaletteImage image;
  image.width = 4;
  image.height = 4;
  image.colours_used = 1;
  image.indexes.assign(16, 0);
  ComPtr<IStream> refusing = ComPtr<IStream>::Adopt(new RefusingStream());
  EXPECT_FALSE(WritePalettePng(refusing.get(), image));
  ComPtr<IStream> memory = CreateMemoryStream();
  EXPECT_TRUE(WritePalettePng(memory.get(), image));
  unsetenv("WENDREL_EVENT_LOG_FILE");
  std::ifstream in(log);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "ERROR PNG lib error: Can't write to the IStream!");
  std::filesystem::remove(log);
}

// ---- X11 windows, on a virtual X server of the test's own ----

class X11Window {
 public:
  X11Window(int width, int height) {
    connection_ = xcb_connect(nullptr, nullptr);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    window_ = xcb_generate_id(connection_);
    uint32_t values[] = {screen->white_pixel, 1};  // background, override-redirect
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, window_, screen->root, 10, 10, static_cast<uint16_t>(width),
                      static_cast<uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    Sync();
  }
  ~X11Window() { xcb_disconnect(connection_); }
  X11Window(const X11Window&) = delete;
  X11Window& operator=(const X11Window&) = delete;

  uint32_t id() const { return window_; }
  void Map() {
    xcb_map_window(connection_, window_);
    Sync();
  }
  void Resize(int width, int height) {
    uint32_t values[] = {static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
    xcb_configure_window(connection_, window_, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    Sync();
  }
  // Fills a rectangle with a 24-bit colour (the server's TrueColor visual takes it as the pixel).
  void Fill(int x, int y, int width, int height, uint32_t colour) {
    xcb_gcontext_t gc = xcb_generate_id(connection_);
    uint32_t value = colour;
    xcb_create_gc(connection_, gc, window_, XCB_GC_FOREGROUND, &value);
    xcb_rectangle_t rectangle{static_cast<int16_t>(x), static_cast<int16_t>(y), static_cast<uint16_t>(width),
                              static_cast<uint16_t>(height)};
    xcb_poly_fill_rectangle(connection_, window_, gc, 1, &rectangle);
    xcb_free_gc(connection_, gc);
    Sync();
  }

 private:
  // A round trip: every request before it has been carried out.
  void Sync() { std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr)); }

  xcb_connection_t* connection_;
  xcb_window_t window_;
};

class PngCapturerWindows : public PngCapturerTest {
 protected:
  static void SetUpTestSuite() { display_ = new XvfbDisplay(); }
  static void TearDownTestSuite() {
    delete display_;
    display_ = nullptr;
  }
  void SetUp() override {
    if (!display_->Available()) GTEST_SKIP() << "no X server for window capture: " << display_->Reason();
  }

  static XvfbDisplay* display_;
};

XvfbDisplay* PngCapturerWindows::display_ = nullptr;

TEST_F(PngCapturerWindows, CapturesWhatTheWindowShows) {
  X11Window window(123, 77);
  window.Map();
  window.Fill(0, 0, 60, 38, kRed);
  window.Fill(60, 38, 63, 39, kBlue);
  window.Fill(100, 0, 20, 20, kGreen);
  ASSERT_TRUE(True(Call(capturer(), u"Form2PNG", {Variant::FromI4(static_cast<int32_t>(window.id()))})));
  EXPECT_EQ(Call(capturer(), u"Width").value().lVal, 120);
  EXPECT_EQ(Call(capturer(), u"Height").value().lVal, 76);
  EXPECT_TRUE(True(Call(capturer(), u"Dirty")));
  DecodedPng image = Image();
  ASSERT_EQ(image.width, 120);
  ASSERT_EQ(image.height, 76);
  EXPECT_LE(ChannelDistance(image.At(10, 10), kRed), 8);
  EXPECT_LE(ChannelDistance(image.At(100, 60), kBlue), 8);
  EXPECT_LE(ChannelDistance(image.At(110, 10), kGreen), 8);
  EXPECT_LE(ChannelDistance(image.At(80, 25), kWhite), 8);
  EXPECT_LE(ChannelDistance(image.At(10, 70), kWhite), 8);
  EXPECT_TRUE(False(Call(capturer(), u"Dirty")));
}

TEST_F(PngCapturerWindows, TheSurfaceFollowsTheWindowSize) {
  X11Window window(80, 40);
  window.Map();
  ASSERT_TRUE(True(Call(capturer(), u"Form2PNG", {Variant::FromI4(static_cast<int32_t>(window.id()))})));
  EXPECT_EQ(Call(capturer(), u"Width").value().lVal, 80);
  window.Resize(50, 30);
  window.Fill(0, 0, 50, 30, kGreen);
  ASSERT_TRUE(True(Call(capturer(), u"Form2PNG", {Variant::FromI4(static_cast<int32_t>(window.id()))})));
  EXPECT_EQ(Call(capturer(), u"Width").value().lVal, 48);
  EXPECT_EQ(Call(capturer(), u"Height").value().lVal, 28);
  DecodedPng image = Image();
  EXPECT_EQ(image.width, 48);
  EXPECT_LE(ChannelDistance(image.At(47, 27), kGreen), 8);
}

TEST_F(PngCapturerWindows, WindowsThatCannotBeCaptured) {
  X11Window hidden(40, 40);  // never mapped
  EXPECT_TRUE(False(Call(capturer(), u"Form2PNG", {Variant::FromI4(static_cast<int32_t>(hidden.id()))})));
  EXPECT_TRUE(False(Call(capturer(), u"Form2PNG", {I(0x1FFFFFF0)})));  // no such window
  EXPECT_TRUE(False(Call(capturer(), u"Init", {I(0x1FFFFFF0), I(8), I(8)})));
  EXPECT_TRUE(True(Call(capturer(), u"Init", {Variant::FromI4(static_cast<int32_t>(hidden.id())), I(8), I(8)})));
}

}  // namespace
