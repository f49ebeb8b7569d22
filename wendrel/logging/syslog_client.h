#pragma once
// SysLogClient: a creatable object that sends one-line messages to a syslog collector over UDP.
// A host or a page sets the destination (Server, Port) and the default priority (Severity,
// Facility) and calls LogMsg or SendMsg. The object keeps its own IPv4 datagram socket between
// calls; it is reopened when Server (compared ignoring case) or Port changes.
//
// A datagram is "<PRI>Mmm dd hh:mm:ss TEXT" in local time (PRI = facility × 8 + severity), with
// no host name field and no line end. Used from the thread that created it: no lock of its own.

#include <netinet/in.h>

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/dispatch_object.h"
#include "platform/com/type_library.h"

/// SeverityLevel of the type library: the syslog severities.
inline constexpr TypeLibraryConstant kSeverityLevels[] = {
    {u"sevEmergency", 0}, {u"sevAlert", 1},  {u"sevCritical", 2}, {u"sevError", 3},
    {u"sevWarning", 4},   {u"sevNotice", 5}, {u"sevInfo", 6},     {u"sevDebug", 7},
};

/// FacilityLevel of the type library: the syslog facilities, the local-use ones as fctLevel0..7.
inline constexpr TypeLibraryConstant kFacilityLevels[] = {
    {u"fctKernel", 0},    {u"fctUser", 1},      {u"fctMail", 2},      {u"fctSysDFaemon", 3},
    {u"fctAuth", 4},      {u"fctSyslogD", 5},   {u"fctPrinter", 6},   {u"fctNews", 7},
    {u"fctUUCP", 8},      {u"fctClockD", 9},    {u"fctSecurity", 10}, {u"fctFTP", 11},
    {u"fctNTP", 12},      {u"fctLogAudit", 13}, {u"fctLogAlert", 14}, {u"fctClockD2", 15},
    {u"fctLevel0", 16},   {u"fctLevel1", 17},   {u"fctLevel2", 18},   {u"fctLevel3", 19},
    {u"fctLevel4", 20},   {u"fctLevel5", 21},   {u"fctLevel6", 22},   {u"fctLevel7", 23},
};

/// The datagram of one message: "<%d>%s %02d %02d:%02d:%02d %s" with the priority, the English
/// month abbreviation, day of month, hours, minutes, seconds of `time` and the text (bytes as
/// they are).
std::string SyslogDatagram(int32_t priority, const std::tm& time, std::string_view text);

class SysLogClient : public DispatchObject<SysLogClient> {
 public:
  static constexpr int32_t kDefaultPort = 514;
  static constexpr int32_t kDefaultSeverity = 6;   // sevInfo
  static constexpr int32_t kDefaultFacility = 16;  // fctLevel0
  /// Server names longer than this are not looked up (no host name is that long).
  static constexpr size_t kMaxServerName = 1024;

  SysLogClient();
  ~SysLogClient() override;

  static std::span<const DispatchMember<SysLogClient>> Members();
  std::u16string_view TypeName() override { return u"SysLogClient"; }

  /// The local port of the open socket (0 while none is open or before its first datagram);
  /// tests see from it whether the socket was kept or reopened.
  int LocalPort() const;

 private:
  Result<Variant> GetServer(const DispatchArguments& arguments);
  Result<Variant> PutServer(const DispatchArguments& arguments);
  Result<Variant> GetPort(const DispatchArguments& arguments);
  Result<Variant> PutPort(const DispatchArguments& arguments);
  Result<Variant> GetSeverity(const DispatchArguments& arguments);
  Result<Variant> PutSeverity(const DispatchArguments& arguments);
  Result<Variant> GetFacility(const DispatchArguments& arguments);
  Result<Variant> PutFacility(const DispatchArguments& arguments);
  Result<Variant> LogMsg(const DispatchArguments& arguments);
  Result<Variant> SendMsg(const DispatchArguments& arguments);

  /// Closes the socket, opens a new one and resolves the server; false when no socket could be
  /// created. A name that does not resolve keeps the address resolved before.
  bool OpenSocket();
  void CloseSocket();
  /// Sends the text with the current facility and severity; E_FAIL when no socket can be
  /// opened, no address was ever resolved, or the datagram cannot be sent.
  Result<Variant> Send(const VARIANT& text);

  std::string server_ = "127.0.0.1";
  int32_t port_ = kDefaultPort;
  int32_t severity_ = kDefaultSeverity;
  int32_t facility_ = kDefaultFacility;
  int socket_ = -1;
  std::optional<in_addr> address_;
};

/// The class for the module's class factory; null when memory runs out.
IUnknown* CreateSysLogClient();
