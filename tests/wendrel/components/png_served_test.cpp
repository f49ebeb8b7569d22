// A captured image served over HTTP as a host serves its charts: the host creates the
// PNGCapturer by ProgID, draws on MemDC, and answers PageRequested on its own thread with
// Response.ContentType = "image/png" and Response.BinaryWrite capturer.Value, all by name. The
// client decodes what arrives and compares the pixels with what was drawn.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cairo.h>

#include <filesystem>
#include <fstream>
#include <future>

#include "platform/automation/dispatch_call.h"
#include "platform/com/apartment.h"
#include "platform/com/connection_point.h"
#include "platform/com/creation.h"
#include "platform/system/code_page.h"
#include "platform/system/device_context.h"
#include "tests/support/temporary_registry.h"
#include "tests/wendrel/components/png_test_support.h"
#include "tests/wendrel/server/http_client.h"
#include "wendrel/server/host_events.h"
#include "wendrel/server/http_server.h"

namespace {

namespace fs = std::filesystem;

Result<Variant> Call(IDispatch* object, std::u16string_view name, std::vector<Variant> arguments = {}) {
  std::vector<VARIANT> passed(arguments.begin(), arguments.end());
  return CallMember(object, name, passed);
}

// The host's answer to PageRequested: the capturer's image.
class ChartSink : public DispatchObject<ChartSink> {
 public:
  explicit ChartSink(IDispatch* capturer) : capturer_(capturer) {}
  static std::span<const DispatchMember<ChartSink>> Members() {
    static constexpr DispatchMember<ChartSink> kMembers[] = {
        {u"PageRequested", kPageRequestedDispid, kMethod, 2, 2, &ChartSink::PageRequested, u"Request,Response"},
    };
    return kMembers;
  }

 private:
  Result<Variant> PageRequested(const DispatchArguments& arguments) {
    IDispatch* response = PeekValue(arguments[1]).pdispVal;
    TRY(PutMember(response, u"ContentType", {}, Variant::FromString(u"image/png")));
    Variant image = TRY(Call(capturer_.get(), u"Value"));
    TRY(Call(response, u"BinaryWrite", {image}));
    TRY(PutMember(response, u"CancelDefaultProcessing", {}, Variant::FromBool(true)));
    return Variant();
  }
  ComPtr<IDispatch> capturer_;
};

// A 64 x 32 capture: white, with the right half's square in (0, 128, 255).
ComPtr<IDispatch> DrawnCapturer() {
  ComPtr<IDispatch> capturer = CreateObject(u"WendrelASP.PNGCapturer").value();
  EXPECT_TRUE(Call(capturer.get(), u"Init", {Variant::FromI4(0), Variant::FromI4(64), Variant::FromI4(32)}).ok());
  HDC dc = static_cast<HDC>(Call(capturer.get(), u"MemDC").value().lVal);
  cairo_t* context = cairo_create(DeviceContextSurface(dc));
  cairo_set_source_rgb(context, 0.0, 0.5, 1.0);
  cairo_rectangle(context, 32, 0, 32, 32);
  cairo_fill(context);
  cairo_destroy(context);
  EXPECT_TRUE(PutMember(capturer.get(), u"Dirty", {}, Variant::FromBool(true)).ok());
  return capturer;
}

void ExpectTheDrawnImage(const std::optional<http_test::HttpResponse>& response) {
  ASSERT_TRUE(response);
  EXPECT_EQ(response->status, 200) << response->body;
  EXPECT_EQ(response->Header("Content-Type"), "image/png");
  std::optional<DecodedPng> image = DecodePng(response->body);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 64);
  EXPECT_EQ(image->height, 32);
  EXPECT_EQ(image->At(10, 10), 0xFFFFFFu);
  EXPECT_LE(ChannelDistance(image->At(50, 20), 0x0080FF), 1);
}

// A server on a free port serving `site`, started.
ComPtr<CHTTPServer> StartedServer(const fs::path& site) {
  ComPtr<CHTTPServer> server = MakeObject<CHTTPServer>();
  EXPECT_TRUE(PutMember(server.get(), u"DefaultDirectory", {}, Variant::FromString(BytesToText(site.string(), CP_UTF8))).ok());
  EXPECT_TRUE(PutMember(server.get(), u"Port", {}, Variant::FromI4(0)).ok());
  EXPECT_TRUE(PutMember(server.get(), u"ProcessDefaultFiles", {}, Variant::FromBool(false)).ok());
  return server;
}

// GET `path`, pumping the host thread's messages until the answer is in.
std::optional<http_test::HttpResponse> FetchPumping(int port, const std::string& path) {
  auto answer = std::async(std::launch::async, [port, path] {
    return http_test::Fetch(port, "GET " + path + " HTTP/1.1\r\nHost: t\r\n\r\n");
  });
  PumpMessagesUntil([&] { return answer.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; });
  return answer.get();
}

TEST(PngServed, HostServesTheCapturedImageThroughBinaryWrite) {
  CoInitialize();
  TemporaryRegistry registry;
  ASSERT_TRUE(RegisterModuleFile(u"" WENDREL_MODULE_PATH_U).ok());
  ComPtr<IDispatch> capturer = DrawnCapturer();
  fs::path site = fs::temp_directory_path() / ("wendrel-png-" + std::to_string(getpid()));
  fs::create_directories(site);
  ComPtr<CHTTPServer> server = StartedServer(site);
  ComPtr<ChartSink> sink = MakeObject<ChartSink>(capturer.get());
  ComPtr<IConnectionPoint> point;
  ComPtr<IConnectionPointContainer> container =
      ComPtr<IDispatch>(server.get()).As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ASSERT_EQ(container->FindConnectionPoint(kServerEventsId, point.Receive()), S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &cookie), S_OK);
  ASSERT_TRUE(server->Start()) << server->LastErrorText();
  std::optional<http_test::HttpResponse> response = FetchPumping(server->BoundPort(), "/chart.png");
  server->Stop();
  point->Unadvise(cookie);
  fs::remove_all(site);
  ExpectTheDrawnImage(response);
}

// The host draws, hands the capturer to pages as a named object, and a page serves the picture.
TEST(PngServed, APageServesTheHostsCaptureThroughBinaryWrite) {
  CoInitialize();
  TemporaryRegistry registry;
  ASSERT_TRUE(RegisterModuleFile(u"" WENDREL_MODULE_PATH_U).ok());
  ASSERT_TRUE(RegisterModuleFile(u"" VBSCRIPT_MODULE_PATH_U).ok());
  ComPtr<IDispatch> capturer = DrawnCapturer();
  fs::path site = fs::temp_directory_path() / ("wendrel-png-page-" + std::to_string(getpid()));
  fs::create_directories(site);
  std::ofstream(site / "chart.asp") << "<% Response.ContentType = \"image/png\"\r\n"
                                       "Response.BinaryWrite Chart.Value %>";
  ComPtr<CHTTPServer> server = StartedServer(site);
  ASSERT_TRUE(server->Start()) << server->LastErrorText();
  Result<Variant> added = CallMember(server.get(), u"AddASPObject",
                                     std::vector<VARIANT>{Variant::FromString(u"Chart"),
                                                          Variant::FromDispatch(capturer.get())});
  ASSERT_TRUE(added.ok());
  std::optional<http_test::HttpResponse> response = FetchPumping(server->BoundPort(), "/chart.asp");
  server->Stop();
  fs::remove_all(site);
  ExpectTheDrawnImage(response);
}

}  // namespace
