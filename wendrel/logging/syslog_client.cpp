#include "wendrel/logging/syslog_client.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <new>

#include "platform/automation/conversion.h"
#include "wendrel/common/byte_string.h"
#include "wendrel/common/narrow_text.h"

namespace {

constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int32_t kLastSeverity = 7;
constexpr int32_t kLastFacility = 23;
constexpr int32_t kLastPort = 65535;

// A whole number in [0, last]; Invalid procedure call (5) for anything else, which would put a
// wrong priority or port on the wire.
Result<int32_t> NumberInRange(const VARIANT& value, int32_t last) {
  int32_t number = TRY(ToInt32(value));
  if (number < 0 || number > last) return ErrorNumber::InvalidProcedureCall;
  return number;
}

// The first IPv4 address of a dotted address or host name; nothing when it does not resolve.
std::optional<in_addr> ResolveServer(const std::string& server) {
  in_addr address{};
  if (server.find('\0') != std::string::npos || server.size() > SysLogClient::kMaxServerName) {
    return std::nullopt;
  }
  if (inet_pton(AF_INET, server.c_str(), &address) == 1) return address;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(server.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return std::nullopt;
  }
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return address;
}

}  // namespace

std::string SyslogDatagram(int32_t priority, const std::tm& time, std::string_view text) {
  char header[64];
  int month = time.tm_mon >= 0 && time.tm_mon < 12 ? time.tm_mon : 0;
  int length = std::snprintf(header, sizeof(header), "<%d>%s %02d %02d:%02d:%02d ", priority,
                             kMonthNames[month], time.tm_mday, time.tm_hour, time.tm_min,
                             time.tm_sec);
  std::string datagram(header, static_cast<size_t>(length));
  datagram.append(text);
  return datagram;
}

SysLogClient::SysLogClient() = default;

SysLogClient::~SysLogClient() { CloseSocket(); }

std::span<const DispatchMember<SysLogClient>> SysLogClient::Members() {
  using S = SysLogClient;
  static constexpr DispatchMember<S> kMembers[] = {
      {u"Server", 0x60020000, kPropertyGet, 0, 0, &S::GetServer},
      {u"Server", 0x60020000, kPropertyPut, 0, 0, &S::PutServer},
      {u"Port", 0x60020002, kPropertyGet, 0, 0, &S::GetPort},
      {u"Port", 0x60020002, kPropertyPut, 0, 0, &S::PutPort},
      {u"Severity", 0x60020004, kPropertyGet, 0, 0, &S::GetSeverity},
      {u"Severity", 0x60020004, kPropertyPut, 0, 0, &S::PutSeverity},
      {u"Facility", 0x60020006, kPropertyGet, 0, 0, &S::GetFacility},
      {u"Facility", 0x60020006, kPropertyPut, 0, 0, &S::PutFacility},
      {u"LogMsg", 0x60020008, kMethod, 1, 1, &S::LogMsg, u"MsgText"},
      {u"SendMsg", 0x60020009, kMethod, 2, 2, &S::SendMsg, u"MsgText,Severity"},
  };
  return kMembers;
}

int SysLogClient::LocalPort() const {
  if (socket_ < 0) return 0;
  sockaddr_in local{};
  socklen_t size = sizeof(local);
  if (getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &size) != 0) return 0;
  return ntohs(local.sin_port);
}

Result<Variant> SysLogClient::GetServer(const DispatchArguments&) {
  return NarrowTextVariant(server_);
}

Result<Variant> SysLogClient::PutServer(const DispatchArguments& arguments) {
  std::string server = TRY(NarrowTextOf(arguments.value()));
  if (BytesEqualIgnoringCase(server, server_)) return Variant();
  server_ = std::move(server);
  OpenSocket();  // a socket that cannot be made now is tried again at the next message
  return Variant();
}

Result<Variant> SysLogClient::GetPort(const DispatchArguments&) { return Variant::FromI4(port_); }

Result<Variant> SysLogClient::PutPort(const DispatchArguments& arguments) {
  int32_t port = TRY(NumberInRange(arguments.value(), kLastPort));
  if (port == port_) return Variant();
  port_ = port;
  OpenSocket();
  return Variant();
}

Result<Variant> SysLogClient::GetSeverity(const DispatchArguments&) {
  return Variant::FromI4(severity_);
}

Result<Variant> SysLogClient::PutSeverity(const DispatchArguments& arguments) {
  severity_ = TRY(NumberInRange(arguments.value(), kLastSeverity));
  return Variant();
}

Result<Variant> SysLogClient::GetFacility(const DispatchArguments&) {
  return Variant::FromI4(facility_);
}

Result<Variant> SysLogClient::PutFacility(const DispatchArguments& arguments) {
  facility_ = TRY(NumberInRange(arguments.value(), kLastFacility));
  return Variant();
}

Result<Variant> SysLogClient::LogMsg(const DispatchArguments& arguments) {
  return Send(arguments[0]);
}

Result<Variant> SysLogClient::SendMsg(const DispatchArguments& arguments) {
  severity_ = TRY(NumberInRange(arguments[1], kLastSeverity));
  return Send(arguments[0]);
}

bool SysLogClient::OpenSocket() {
  CloseSocket();
  socket_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) return false;
  if (std::optional<in_addr> resolved = ResolveServer(server_)) address_ = resolved;
  return true;
}

void SysLogClient::CloseSocket() {
  if (socket_ >= 0) close(socket_);
  socket_ = -1;
}

Result<Variant> SysLogClient::Send(const VARIANT& text) {
  std::string message = TRY(NarrowTextOf(text));
  if (socket_ < 0 && !OpenSocket()) return Error::FromHresult(E_FAIL);
  // A server that never resolved has no destination: sending to the unspecified address
  // would deliver to this machine instead.
  if (!address_) return Error::FromHresult(E_FAIL);
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::string datagram = SyslogDatagram(facility_ * 8 + severity_, local, message);
  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_port = htons(static_cast<uint16_t>(port_));
  destination.sin_addr = *address_;
  ssize_t sent = sendto(socket_, datagram.data(), datagram.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&destination), sizeof(destination));
  if (sent != static_cast<ssize_t>(datagram.size())) return Error::FromHresult(E_FAIL);
  return Variant();
}

IUnknown* CreateSysLogClient() {
  return static_cast<IDispatch*>(new (std::nothrow) SysLogClient());
}
