// The wendrel command itself: options, serving a folder, configuration, TLS, logs, and a clean
// stop on SIGTERM.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include <sqlite3.h>

#include "apps/wendrel/command_line.h"
#include "tests/wendrel/server/http_client.h"
#include "tests/wendrel/server/transport_test_support.h"
#include "wendrel/server/ssl_library.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A running wendrel process with its output captured.
class WendrelProcess {
 public:
  explicit WendrelProcess(std::vector<std::string> arguments, const fs::path& registry) {
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<std::string> all = {WENDREL_COMMAND_PATH};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    setenv("WENDREL_REGISTRY_DIR", registry.c_str(), 1);
    posix_spawn(&pid_, WENDREL_COMMAND_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  ~WendrelProcess() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
    if (err_ >= 0) close(err_);
  }
  // The port of the "serving ... at http://127.0.0.1:PORT/" line; 0 when it never came.
  int WaitForPort() {
    std::regex pattern("127\\.0\\.0\\.1:([0-9]+)/");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      std::smatch match;
      if (std::regex_search(stdout_, match, pattern)) return std::stoi(match[1]);
      if (!ReadSome(out_, stdout_, 200)) {
        if (Exited()) return 0;
      }
    }
    return 0;
  }
  // Waits for the exit and returns its status (-1 after a time-out or a signal).
  int Wait(std::chrono::seconds limit = std::chrono::seconds(20)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      ReadSome(out_, stdout_, 10);
      ReadSome(err_, stderr_, 10);
      int status = 0;
      pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        exited_ = true;
        while (ReadSome(out_, stdout_, 0)) {}
        while (ReadSome(err_, stderr_, 0)) {}
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
    }
    return -1;
  }
  void Signal(int signal) { kill(pid_, signal); }
  const std::string& out() const { return stdout_; }
  const std::string& err() const { return stderr_; }

 private:
  bool Exited() {
    int status = 0;
    return waitpid(pid_, &status, WNOHANG) == pid_ && (exited_ = true);
  }
  static bool ReadSome(int descriptor, std::string& into, int timeout_ms) {
    pollfd wait{descriptor, POLLIN, 0};
    if (poll(&wait, 1, timeout_ms) <= 0) return false;
    char buffer[4096];
    ssize_t got = read(descriptor, buffer, sizeof buffer);
    if (got <= 0) return false;
    into.append(buffer, static_cast<size_t>(got));
    return true;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  bool exited_ = false;
  std::string stdout_;
  std::string stderr_;
};

class WendrelCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = fs::temp_directory_path() /
            ("wendrel-command-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(base_);
    fs::create_directories(base_ / "site");
    fs::create_directories(base_ / "registry");
    std::ofstream(base_ / "site" / "index.htm") << "<html>served</html>";
    std::ofstream(base_ / "site" / "home.htm") << "<html>home</html>";
  }
  void TearDown() override { fs::remove_all(base_); }
  fs::path base_;
};

TEST(WendrelCommandLine, OptionsAreParsedOrRefused) {
  ParsedCommandLine parsed = ParseCommandLine({"--port", "9000", "--keep-alive", "--threads=4",
                                               "--virtual-dir", "/docs=/srv/docs", "site"});
  ASSERT_TRUE(parsed.command) << parsed.error;
  EXPECT_EQ(parsed.command->folder, "site");
  ASSERT_EQ(parsed.command->settings.size(), 3u);
  EXPECT_EQ(parsed.command->settings[0].property, "Port");
  EXPECT_EQ(parsed.command->settings[1].value, "false");  // AlwaysCloseConnection off
  EXPECT_EQ(parsed.command->virtual_dirs[0].second, "/srv/docs");
  for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
           {"--port"}, {"--port", "eighty"}, {"--bogus"}, {"a", "b"}, {"--keep-alive=yes"},
           {"--mime", "novalue"}}) {
    EXPECT_FALSE(ParseCommandLine(bad).command) << bad[0];
  }
}

TEST_F(WendrelCommand, HelpListsEveryOptionAndBadOptionsExitTwo) {
  WendrelProcess help({"--help"}, base_ / "registry");
  EXPECT_EQ(help.Wait(), 0);
  for (const OptionSpec& option : Options()) {
    EXPECT_NE(help.out().find("--" + std::string(option.flag)), std::string::npos) << option.flag;
  }
  WendrelProcess bad({"--no-such-flag"}, base_ / "registry");
  EXPECT_EQ(bad.Wait(), 2);
  EXPECT_NE(bad.err().find("unknown option '--no-such-flag'"), std::string::npos);
  EXPECT_NE(bad.err().find("usage: wendrel"), std::string::npos);
}

TEST_F(WendrelCommand, ServesAFolderAndStopsCleanlyOnSigterm) {
  std::ofstream(base_ / "site" / "data.xyz") << "xyz";
  WendrelProcess server({"--port", "0", "--keep-alive", "--log-folder", (base_ / "logs").string(),
                         "--mime", ".xyz=text/x-test", (base_ / "site").string()},
                        base_ / "registry");
  fs::create_directories(base_ / "logs");
  int port = server.WaitForPort();
  ASSERT_GT(port, 0) << server.out() << server.err();
  std::optional<http_test::HttpResponse> page =
      http_test::Fetch(port, "GET / HTTP/1.1\r\nHost: t\r\n\r\n");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->body, "<html>served</html>");
  EXPECT_EQ(page->Header("Connection"), "Keep-Alive");
  std::optional<http_test::HttpResponse> typed =
      http_test::Fetch(port, "GET /data.xyz HTTP/1.1\r\nHost: t\r\n\r\n");
  ASSERT_TRUE(typed);
  EXPECT_EQ(typed->Header("Content-Type"), "text/x-test");
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(), 0);
  EXPECT_NE(server.out().find("wendrel: stopped"), std::string::npos);
  EXPECT_FALSE(fs::is_empty(base_ / "logs"));  // the access log of that request
}

// The site bash scripts/run.sh serves: every example page answers 200 with its content.
TEST_F(WendrelCommand, ServesTheExampleSite) {
  setenv("WENDREL_UPLOAD_BASE", base_.c_str(), 1);
  WendrelProcess server({"--port", "0", "--keep-alive", EXAMPLE_SITE_PATH}, base_ / "registry");
  int port = server.WaitForPort();
  ASSERT_GT(port, 0) << server.out() << server.err();
  auto get = [port](const std::string& path) {
    return http_test::Fetch(port, "GET " + path + " HTTP/1.1\r\nHost: t\r\n\r\n");
  };
  struct Case {
    std::string path;
    std::vector<std::string> contains;
  } cases[] = {
      {"/", {"Wendrel example site", "hello.asp"}},
      {"/hello.asp", {"<h1>Hello from Wendrel</h1>", "The time on the server is"}},
      {"/form.asp", {"<form method=\"post\"", "<option>green</option>"}},
      {"/form.asp?name=Ann%3Cb%3E&color=blue",
       {"Hello, Ann&lt;b&gt;! You sent this form with GET and chose blue.",
        "<option selected>blue</option>"}},
      {"/table.asp", {"<tr><td>100</td><td>300</td><td>1,241.67</td><td>3,725,000.00</td>"
                      "<td>1.98%</td></tr>"}},
      {"/dictionary.asp", {"holds 3 entries", "<li>banana: 13</li>", "has \"durian\": False"}},
      {"/error.asp", {"<b>Division by zero</b>", "In file <b>/error.asp</b>", "on line 10,"}},
      {"/upload.asp", {"enctype=\"multipart/form-data\""}},
      {"/visits.asp?page=first", {"opened this page 1 time(s)", "<li>first: 1</li>",
                                  "Pages you named in this session: 1."}},
      {"/reports/", {"<html>"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::optional<http_test::HttpResponse> page = get(c.path);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    for (const std::string& text : c.contains) EXPECT_NE(page->body.find(text), std::string::npos) << text;
  }
  std::string body =
      "--B\r\nContent-Disposition: form-data; name=\"description\"\r\n\r\nnotes\r\n"
      "--B\r\nContent-Disposition: form-data; name=\"file\"; filename=\"a.txt\"\r\n\r\nabc\r\n--B--\r\n";
  std::optional<http_test::HttpResponse> uploaded = http_test::Fetch(
      port, "POST /upload.asp HTTP/1.1\r\nHost: t\r\nContent-Type: multipart/form-data; boundary=B\r\n"
            "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  ASSERT_TRUE(uploaded);
  EXPECT_NE(uploaded->body.find("Received <b>a.txt</b>\n(notes)"), std::string::npos)
      << uploaded->body;
  EXPECT_TRUE(fs::exists(base_ / ("wendrel-uploads-" + std::to_string(getuid())) / "a.txt"));
  unsetenv("WENDREL_UPLOAD_BASE");
  // The visitor's cookie brings its session back; the application counts everyone.
  std::optional<http_test::HttpResponse> visit = get("/visits.asp?page=second");
  ASSERT_TRUE(visit);
  std::string cookie = visit->Header("Set-Cookie").value_or("");
  cookie = cookie.substr(0, cookie.find(';'));
  std::optional<http_test::HttpResponse> again = http_test::Fetch(
      port, "GET /visits.asp?page=first HTTP/1.1\r\nHost: t\r\nCookie: " + cookie + "\r\n\r\n");
  ASSERT_TRUE(again);
  EXPECT_NE(again->body.find("opened this page 2 time(s)"), std::string::npos) << again->body;
  EXPECT_NE(again->body.find("All visitors together: 3."), std::string::npos);
  EXPECT_NE(again->body.find("<li>first: 2</li>"), std::string::npos);
  EXPECT_NE(again->body.find("Pages you named in this session: 2."), std::string::npos);
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(), 0);
}

// The example site's report page: rows from the data source "WendrelSales" through ADODB,
// the table written by the report engine. A small database with hand-summed totals stands in
// for the sample one.
TEST_F(WendrelCommand, TheExampleReportPageRendersItsDatabase) {
  const char* driver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
  if (!fs::exists(driver)) driver = "/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so";
  if (!fs::exists(driver)) GTEST_SKIP() << "the SQLite ODBC driver (libsqlite3odbc.so) is not installed";
  fs::path database = base_ / "sales.db";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE sales (id INTEGER PRIMARY KEY, sale_date DATE, region TEXT, "
                         "product TEXT, quantity INTEGER, amount DOUBLE);"
                         "INSERT INTO sales VALUES (1, '2024-03-01', 'North', 'Anchor', 2, 20),"
                         " (2, '2024-12-31', 'North', 'Anchor', 1, 10),"
                         " (3, '2024-05-05', 'North', 'Beacon', 1, 10),"
                         " (4, '2024-07-07', 'South', 'Anchor', 2, 60),"
                         " (5, '2023-02-02', 'North', 'Anchor', 1, 20),"
                         " (6, '2023-08-08', 'South', 'Beacon', 4, 40),"
                         " (7, '2025-01-01', 'South', 'Beacon', 9, 900);",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  std::ofstream(base_ / "odbc.ini") << "[WendrelSales]\nDriver=" << driver
                                    << "\nDatabase=" << database.string() << "\n";
  setenv("ODBCINI", (base_ / "odbc.ini").c_str(), 1);
  WendrelProcess server({"--port", "0", EXAMPLE_SITE_PATH}, base_ / "registry");
  unsetenv("ODBCINI");
  int port = server.WaitForPort();
  ASSERT_GT(port, 0) << server.out() << server.err();
  auto get = [port](const std::string& path) {
    return http_test::Fetch(port, "GET " + path + " HTTP/1.1\r\nHost: t\r\nConnection: close\r\n\r\n");
  };
  std::optional<http_test::HttpResponse> report = get("/reports/sales.asp");
  ASSERT_TRUE(report);
  ASSERT_EQ(report->status, 200) << report->body;
  for (const char* row : {
           "<title>Sales by region and product, 2024</title>",
           "<tr><td class=br>Anchor</td><td class=br align=right>3</td>"
           "<td class=br align=right>30.00</td><td class=br align=right>30.0%</td></tr>",
           "<tr><td class=br>Beacon</td><td class=br align=right>1</td>"
           "<td class=br align=right>10.00</td><td class=br align=right>10.0%</td></tr>",
           "<b>Total (2) <i>North</i></b></td><td class=br>4</td><td class=br>40.00</td>"
           "<td class=br>40.0%</td></tr>",
           "<b>Total (1) <i>South</i></b></td><td class=br>2</td><td class=br>60.00</td>"
           "<td class=br>60.0%</td></tr>",
           "<b>Grand total (3)</b></td><td colspan=\"1\" class=tf align=right>6</td>"
           "<td colspan=\"2\" class=tf align=right>100.00</td></tr>",
           "<tr><td class=br>North</td><td class=br align=right>40.00</td>"
           "<td class=br align=right>20.00</td><td class=br align=right>100.00%</td></tr>",
           "<tr><td class=br>South</td><td class=br align=right>60.00</td>"
           "<td class=br align=right>40.00</td><td class=br align=right>50.00%</td></tr>"}) {
    EXPECT_NE(report->body.find(row), std::string::npos) << row << "\n" << report->body;
  }
  // The earliest year has nothing to compare with; a year that is no year shows the default.
  std::optional<http_test::HttpResponse> earliest = get("/reports/sales.asp?year=2023");
  ASSERT_TRUE(earliest);
  EXPECT_NE(earliest->body.find("<b>Grand total (2)</b>"), std::string::npos) << earliest->body;
  EXPECT_NE(earliest->body.find("<p>No sales in 2022 to compare with.</p>"), std::string::npos);
  std::optional<http_test::HttpResponse> odd = get("/reports/sales.asp?year=2023%27%20OR%201=1");
  ASSERT_TRUE(odd);
  EXPECT_NE(odd->body.find("<title>Sales by region and product, 2024</title>"), std::string::npos);
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(), 0);
}

TEST_F(WendrelCommand, LoadsAConfigurationFirstAndRefusesOneThatDoesNotLoad) {
  std::ofstream(base_ / "server.ini") << "[WEB Server]\r\nDefaultDirectory=" << (base_ / "site").string()
                                      << "\r\nDefaultDocument=home.htm\r\nPort=0\r\n";
  WendrelProcess server({"--config", (base_ / "server.ini").string()}, base_ / "registry");
  int port = server.WaitForPort();
  ASSERT_GT(port, 0) << server.out() << server.err();
  EXPECT_EQ(http_test::Fetch(port, "GET / HTTP/1.1\r\nHost: t\r\n\r\n")->body, "<html>home</html>");
  server.Signal(SIGINT);
  EXPECT_EQ(server.Wait(), 0);
  WendrelProcess missing({"--config", (base_ / "missing.ini").string()}, base_ / "registry");
  EXPECT_EQ(missing.Wait(), 2);
}

TEST_F(WendrelCommand, ServesHttpsWithAKeyAndACertificate) {
  transport_test::TestCertificates certificates;
  ASSERT_TRUE(certificates.ok()) << certificates.failure();
  WendrelProcess server({"--port", "0", "--tls-key", certificates.Path("server_encrypted.key"),
                         "--tls-cert", certificates.Path("server.crt"), "--tls-password",
                         transport_test::TestCertificates::kKeyPassword, (base_ / "site").string()},
                        base_ / "registry");
  int port = server.WaitForPort();
  ASSERT_GT(port, 0) << server.out() << server.err();
  EXPECT_NE(server.out().find("https://127.0.0.1:"), std::string::npos);
  ASSERT_TRUE(LoadSslLibrary().library);
  int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  transport_test::TestTlsClient client(*LoadedSslLibrary(), socket);
  ASSERT_TRUE(client.Connect());
  ASSERT_TRUE(client.Write("GET / HTTP/1.1\r\nHost: t\r\n\r\n"));
  std::string answer;
  char buffer[4096];
  int read;
  while ((read = client.Read(buffer, sizeof buffer)) > 0) answer.append(buffer, read);
  EXPECT_NE(answer.find("<html>served</html>"), std::string::npos);
  server.Signal(SIGTERM);
  EXPECT_EQ(server.Wait(), 0);
  WendrelProcess wrong({"--port", "0", "--tls-key", certificates.Path("server_encrypted.key"),
                        "--tls-cert", certificates.Path("server.crt"), "--tls-password", "nope"},
                       base_ / "registry");
  EXPECT_EQ(wrong.Wait(), 1);
  EXPECT_NE(wrong.err().find("cannot set up TLS"), std::string::npos);
}

TEST_F(WendrelCommand, PortInUseExitsOne) {
  int blocker = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  ASSERT_EQ(bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(blocker, 1), 0);
  socklen_t length = sizeof address;
  getsockname(blocker, reinterpret_cast<sockaddr*>(&address), &length);
  WendrelProcess server({"--port", std::to_string(ntohs(address.sin_port)), (base_ / "site").string()},
                        base_ / "registry");
  EXPECT_EQ(server.Wait(), 1);
  EXPECT_NE(server.err().find("Can't bind socket"), std::string::npos);
  close(blocker);
}

}  // namespace
