// Request intake without a socket: a typical browser request (about 600 bytes of headers, a
// query of five pairs, three cookies) and a 1 MiB multipart upload, parsed into a reused
// Request as a worker does.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "wendrel/asp/request.h"

namespace {

class BenchServer : public RequestServer {
 public:
  bool disable_upload = false;
  std::string upload_dir;
  int32_t MaxUploadSize() const override { return 64 << 20; }
  bool DisableUpload() const override { return disable_upload; }
  std::string UploadDir() const override { return upload_dir; }
  std::string PrivateUploadFolder() const override { return upload_dir; }
  bool IsServedFolder(std::string_view) const override { return false; }
  std::optional<std::string> MapVirtualPath(std::string_view path, const Request&) const override {
    return upload_dir + std::string(path);
  }
  bool HoldsSslContext() const override { return false; }
  std::string LocalAddress() const override { return "127.0.0.1"; }
  int32_t Port() const override { return 80; }
};

constexpr std::string_view kBrowserHeader =
    "GET /reports/sales.asp?region=north&year=2026&month=11&view=detail&sort=amount%20desc "
    "HTTP/1.1\r\n"
    "Host: reports.example.com:8080\r\n"
    "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/120.0.0.0 Safari/537.36\r\n"
    "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,image/avif,image/webp,*/*;"
    "q=0.8\r\n"
    "Accept-Language: en-US,en;q=0.9,de;q=0.8\r\n"
    "Accept-Encoding: gzip, deflate, br\r\n"
    "Referer: http://reports.example.com:8080/reports/index.asp\r\n"
    "Connection: keep-alive\r\n"
    "Upgrade-Insecure-Requests: 1\r\n"
    "Cookie: ASPSESSIONID=S_1A2B3C_4D5E6F; prefs=theme=dark&rows=50; last=sales%2Easp\r\n"
    "Cache-Control: max-age=0";

void BrowserRequest(benchmark::State& state) {
  BenchServer server;
  ComPtr<Request> request = MakeObject<Request>(&server);
  for (auto _ : state) {
    request->ParseHeader(kBrowserHeader, true);
    request->SetBody({});
    request->ParseBody();
    benchmark::DoNotOptimize(request->QueryStringCollection().EntryCount());
  }
  state.counters["requests/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BrowserRequest);

std::string UploadBody(size_t file_bytes) {
  std::string body =
      "--BoUnDaRy\r\nContent-Disposition: form-data; name=\"title\"\r\n\r\nQuarterly\r\n"
      "--BoUnDaRy\r\nContent-Disposition: form-data; name=\"file\"; filename=\"data.bin\"\r\n"
      "Content-Type: application/octet-stream\r\n\r\n";
  for (size_t i = 0; i < file_bytes; ++i) body.push_back(static_cast<char>((i * 131) & 0xFF));
  body += "\r\n--BoUnDaRy--\r\n";
  return body;
}

// Arg 0: uploads written into a temporary folder; 1: uploads off (content kept as a value).
void MultipartUpload(benchmark::State& state) {
  BenchServer server;
  server.disable_upload = state.range(0) == 1;
  std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("wendrel-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  server.upload_dir = folder.string();
  std::string body = UploadBody(1 << 20);
  ComPtr<Request> request = MakeObject<Request>(&server);
  for (auto _ : state) {
    request->ParseHeader(
        "POST /upload.asp HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=BoUnDaRy\r\n"
        "Content-Length: 1048800",
        true);
    request->SetBody(body);
    request->ParseBody();
    benchmark::DoNotOptimize(request->FormCollection().EntryCount());
  }
  std::filesystem::remove_all(folder);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(body.size()));
}
BENCHMARK(MultipartUpload)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
