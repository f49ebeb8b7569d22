// SysLogClient driven by name, as pages and hosts call it, against a real UDP socket on
// 127.0.0.1 that receives the datagrams and reads them back in the shape syslog collectors
// expect of RFC 3164 messages ("<PRI>Mmm dd hh:mm:ss MSG").
#include "wendrel/logging/syslog_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ctime>
#include <optional>
#include <regex>
#include <string>

#include "platform/automation/dispatch_call.h"

namespace {

Variant S(std::string_view text) { return Variant::FromString(std::u16string(text.begin(), text.end())); }
Variant I(int32_t value) { return Variant::FromI4(value); }

Result<Variant> CallOn(IDispatch* object, std::u16string_view name, std::vector<Variant> arguments = {}) {
  std::vector<VARIANT> passed(arguments.begin(), arguments.end());
  return CallMember(object, name, passed);
}

// A UDP socket bound to 127.0.0.1 on a port of the system's choice.
class UdpReceiver {
 public:
  UdpReceiver() {
    socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    socklen_t size = sizeof(address);
    getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~UdpReceiver() { close(socket_); }
  UdpReceiver(const UdpReceiver&) = delete;
  UdpReceiver& operator=(const UdpReceiver&) = delete;

  int port() const { return port_; }

  struct Datagram {
    std::string bytes;
    int source_port = 0;
  };
  /// The next datagram, or nothing within two seconds.
  std::optional<Datagram> Receive() {
    pollfd ready{socket_, POLLIN, 0};
    if (poll(&ready, 1, 2000) != 1) return std::nullopt;
    char buffer[70000];
    sockaddr_in source{};
    socklen_t size = sizeof(source);
    ssize_t got = recvfrom(socket_, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&source), &size);
    if (got < 0) return std::nullopt;
    return Datagram{std::string(buffer, static_cast<size_t>(got)), ntohs(source.sin_port)};
  }
  /// Whether nothing arrives within a short while.
  bool Quiet() {
    pollfd ready{socket_, POLLIN, 0};
    return poll(&ready, 1, 200) == 0;
  }

 private:
  int socket_ = -1;
  int port_ = 0;
};

// A message as a collector reads it: priority, time stamp and text.
struct ParsedMessage {
  int priority = -1;
  std::string timestamp;
  std::string text;
};

std::optional<ParsedMessage> ParseRfc3164(const std::string& datagram) {
  static const std::regex shape(
      R"(^<(\d{1,3})>((?:Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \d\d \d\d:\d\d:\d\d) ([\s\S]*)$)");
  std::smatch match;
  if (!std::regex_match(datagram, match, shape)) return std::nullopt;
  return ParsedMessage{std::stoi(match[1]), match[2], match[3]};
}

std::string LocalTimestamp(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  std::string datagram = SyslogDatagram(0, local, "");
  return datagram.substr(3, 15);  // after "<0>", before the blank
}

class SysLogClientTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Put(u"Port", I(receiver_.port())).ok()); }

  Result<Variant> Call(std::u16string_view name, std::vector<Variant> arguments = {}) {
    return CallOn(client_.get(), name, std::move(arguments));
  }
  Result<void> Put(std::u16string_view name, const Variant& value) {
    return PutMember(client_.get(), name, {}, value);
  }
  ParsedMessage ReceiveMessage() {
    std::optional<UdpReceiver::Datagram> datagram = receiver_.Receive();
    EXPECT_TRUE(datagram.has_value());
    if (!datagram) return {};
    std::optional<ParsedMessage> parsed = ParseRfc3164(datagram->bytes);
    EXPECT_TRUE(parsed.has_value()) << datagram->bytes;
    return parsed.value_or(ParsedMessage{});
  }

  UdpReceiver receiver_;
  ComPtr<SysLogClient> client_ = MakeObject<SysLogClient>();
};

TEST(SyslogDatagram, FormatsPriorityTimeAndText) {
  struct Case {
    int32_t priority;
    int month, day, hour, minute, second;
    std::string_view text;
    std::string_view expected;
  } cases[] = {
      {134, 2, 5, 9, 4, 7, "disk full", "<134>Mar 05 09:04:07 disk full"},
      {134, 2, 5, 9, 4, 7, "", "<134>Mar 05 09:04:07 "},
      {0, 0, 1, 0, 0, 0, "x", "<0>Jan 01 00:00:00 x"},
      {191, 11, 31, 23, 59, 59, "end", "<191>Dec 31 23:59:59 end"},
      {13, 6, 14, 12, 30, 5, "line\nbreak", "<13>Jul 14 12:30:05 line\nbreak"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.expected));
    std::tm time{};
    time.tm_mon = c.month;
    time.tm_mday = c.day;
    time.tm_hour = c.hour;
    time.tm_min = c.minute;
    time.tm_sec = c.second;
    EXPECT_EQ(SyslogDatagram(c.priority, time, c.text), c.expected);
  }
}

TEST(SyslogDatagram, EveryMonthHasItsEnglishAbbreviation) {
  const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int month = 0; month < 12; ++month) {
    std::tm time{};
    time.tm_mon = month;
    time.tm_mday = 9;
    EXPECT_EQ(SyslogDatagram(1, time, "").substr(3, 3), months[month]);
  }
}

TEST(SysLogClientDefaults, DestinationAndPriority) {
  ComPtr<SysLogClient> client = MakeObject<SysLogClient>();
  EXPECT_EQ(CallMember(client.get(), u"Server").value().StringView(), u"127.0.0.1");
  EXPECT_EQ(CallMember(client.get(), u"Port").value().lVal, 514);
  EXPECT_EQ(CallMember(client.get(), u"Severity").value().lVal, 6);
  EXPECT_EQ(CallMember(client.get(), u"Facility").value().lVal, 16);
  EXPECT_EQ(client->LocalPort(), 0);  // no socket before the first message or change
}

TEST(SysLogClientDefaults, MembersHaveTheirDispatchIdentifiers) {
  struct Case {
    std::u16string_view name;
    DISPID dispid;
  } cases[] = {{u"Server", 0x60020000},   {u"Port", 0x60020002},   {u"Severity", 0x60020004},
               {u"Facility", 0x60020006}, {u"LogMsg", 0x60020008}, {u"SendMsg", 0x60020009}};
  ComPtr<SysLogClient> client = MakeObject<SysLogClient>();
  for (const Case& c : cases) {
    EXPECT_EQ(GetDispatchId(client.get(), c.name).value(), c.dispid);
  }
}

TEST_F(SysLogClientTest, LogMsgSendsOneDatagramInCollectorShape) {
  std::time_t before = std::time(nullptr);
  ASSERT_TRUE(Call(u"LogMsg", {S("backup finished")}).ok());
  std::time_t after = std::time(nullptr);
  ParsedMessage message = ReceiveMessage();
  EXPECT_EQ(message.priority, 16 * 8 + 6);  // fctLevel0, sevInfo
  EXPECT_EQ(message.text, "backup finished");
  bool in_time = false;
  for (std::time_t when = before; when <= after; ++when) in_time |= message.timestamp == LocalTimestamp(when);
  EXPECT_TRUE(in_time) << message.timestamp;
}

TEST_F(SysLogClientTest, EmptyMessageSendsTheHeaderAndOneBlank) {
  ASSERT_TRUE(Call(u"LogMsg", {S("")}).ok());
  std::optional<UdpReceiver::Datagram> datagram = receiver_.Receive();
  ASSERT_TRUE(datagram);
  EXPECT_EQ(datagram->bytes.size(), std::string("<134>Mar 05 09:04:07 ").size());
  EXPECT_EQ(datagram->bytes.back(), ' ');
  EXPECT_EQ(datagram->bytes.find('\n'), std::string::npos);
  EXPECT_EQ(datagram->bytes.find('\0'), std::string::npos);
}

TEST_F(SysLogClientTest, SendMsgSeverityStaysForLaterMessages) {
  ASSERT_TRUE(Call(u"SendMsg", {S("first"), I(3)}).ok());  // sevError
  ASSERT_TRUE(Call(u"LogMsg", {S("second")}).ok());
  EXPECT_EQ(ReceiveMessage().priority, 16 * 8 + 3);
  EXPECT_EQ(ReceiveMessage().priority, 16 * 8 + 3);
  EXPECT_EQ(Call(u"Severity").value().lVal, 3);
}

TEST_F(SysLogClientTest, FacilityAndSeverityMakeThePriority) {
  ASSERT_TRUE(Put(u"Facility", I(1)).ok());  // fctUser
  ASSERT_TRUE(Put(u"Severity", I(5)).ok());  // sevNotice
  ASSERT_TRUE(Call(u"LogMsg", {S("m")}).ok());
  EXPECT_EQ(ReceiveMessage().priority, 13);
  ASSERT_TRUE(Put(u"Facility", I(23)).ok());  // fctLevel7
  ASSERT_TRUE(Call(u"SendMsg", {S("m"), I(7)}).ok());
  EXPECT_EQ(ReceiveMessage().priority, 191);
}

TEST_F(SysLogClientTest, TextIsSentInTheAnsiCodePage) {
  ASSERT_TRUE(Call(u"LogMsg", {Variant::FromString(u"caf\u00E9 \u20AC5")}).ok());
  EXPECT_EQ(ReceiveMessage().text, "caf\xE9 \x80" "5");
}

TEST_F(SysLogClientTest, SocketIsKeptBetweenMessagesAndSameValueChanges) {
  ASSERT_TRUE(Put(u"Server", S("localhost")).ok());
  ASSERT_TRUE(Call(u"LogMsg", {S("one")}).ok());
  int local_port = client_->LocalPort();  // bound by the first datagram
  ASSERT_NE(local_port, 0);
  ASSERT_TRUE(Put(u"Server", S("LOCALHOST")).ok());      // the same name in another case
  ASSERT_TRUE(Put(u"Port", I(receiver_.port())).ok());   // the same port
  ASSERT_TRUE(Call(u"LogMsg", {S("two")}).ok());
  EXPECT_EQ(client_->LocalPort(), local_port);
  std::optional<UdpReceiver::Datagram> one = receiver_.Receive();
  std::optional<UdpReceiver::Datagram> two = receiver_.Receive();
  ASSERT_TRUE(one && two);
  EXPECT_EQ(one->source_port, local_port);
  EXPECT_EQ(two->source_port, local_port);
  EXPECT_EQ(Call(u"Server").value().StringView(), u"localhost");  // the name kept as first set
}

TEST_F(SysLogClientTest, ChangedPortSendsToTheNewDestination) {
  UdpReceiver other;
  ASSERT_TRUE(Put(u"Port", I(other.port())).ok());
  ASSERT_TRUE(Call(u"LogMsg", {S("moved")}).ok());
  std::optional<UdpReceiver::Datagram> datagram = other.Receive();
  ASSERT_TRUE(datagram);
  EXPECT_NE(datagram->bytes.find("moved"), std::string::npos);
  EXPECT_TRUE(receiver_.Quiet());
}

TEST_F(SysLogClientTest, UnresolvableNameKeepsThePreviousAddress) {
  ASSERT_TRUE(Call(u"LogMsg", {S("resolved")}).ok());
  ReceiveMessage();
  // A name too long to be a host name is never looked up: it does not resolve.
  ASSERT_TRUE(Put(u"Server", S(std::string(1100, 'h'))).ok());
  ASSERT_TRUE(Call(u"LogMsg", {S("still here")}).ok());
  EXPECT_EQ(ReceiveMessage().text, "still here");
}

TEST(SysLogClientFailures, NoAddressEverResolvedFailsTheSend) {
  ComPtr<SysLogClient> client = MakeObject<SysLogClient>();
  ASSERT_TRUE(PutMember(client.get(), u"Server", {}, S(std::string(1100, 'h'))).ok());
  Result<Variant> sent = CallOn(client.get(), u"LogMsg", {S("lost")});
  ASSERT_FALSE(sent.ok());
  EXPECT_EQ(sent.error().Hresult(), E_FAIL);
}

TEST(SysLogClientFailures, DatagramTooLargeForUdpFails) {
  UdpReceiver receiver;
  ComPtr<SysLogClient> client = MakeObject<SysLogClient>();
  ASSERT_TRUE(PutMember(client.get(), u"Port", {}, I(receiver.port())).ok());
  Result<Variant> sent = CallOn(client.get(), u"LogMsg", {S(std::string(70000, 'x'))});
  ASSERT_FALSE(sent.ok());
  EXPECT_EQ(sent.error().Hresult(), E_FAIL);
}

TEST_F(SysLogClientTest, ValuesOutsideTheirRangesAreRefused) {
  struct Case {
    std::u16string_view property;
    int32_t value;
  } cases[] = {{u"Port", -1},     {u"Port", 65536},    {u"Severity", -1},
               {u"Severity", 8},  {u"Facility", -1},   {u"Facility", 24}};
  for (const Case& c : cases) {
    Result<void> put = Put(c.property, I(c.value));
    ASSERT_FALSE(put.ok());
    EXPECT_EQ(put.error().Number(), 5);
  }
  EXPECT_EQ(Call(u"Port").value().lVal, receiver_.port());
  EXPECT_EQ(Call(u"Severity").value().lVal, 6);
  Result<Variant> sent = Call(u"SendMsg", {S("bad"), I(9)});
  ASSERT_FALSE(sent.ok());
  EXPECT_EQ(sent.error().Number(), 5);
  EXPECT_TRUE(receiver_.Quiet());
}

}  // namespace
