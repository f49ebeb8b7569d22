#pragma once
// Socket error numbers as the server reports them to its callers: the Windows Sockets numbers
// (10035 would-block, 10038 not a socket, 10057 not connected, ...), because the request loop
// and the response writer decide on them (they retry only on kWsaWouldBlock).

namespace socket_errors {

inline constexpr int kWsaInterrupted = 10004;
inline constexpr int kWsaAccessDenied = 10013;
inline constexpr int kWsaBadAddress = 10014;
/// Also reported for a file that cannot be read while it is being sent.
inline constexpr int kWsaInvalidArgument = 10022;
inline constexpr int kWsaTooManyOpenSockets = 10024;
inline constexpr int kWsaWouldBlock = 10035;
inline constexpr int kWsaInProgress = 10036;
inline constexpr int kWsaAlready = 10037;
inline constexpr int kWsaNotSocket = 10038;
inline constexpr int kWsaMessageTooLong = 10040;
inline constexpr int kWsaNoProtocolOption = 10042;
inline constexpr int kWsaOperationNotSupported = 10045;
inline constexpr int kWsaAddressInUse = 10048;
inline constexpr int kWsaAddressNotAvailable = 10049;
inline constexpr int kWsaNetworkDown = 10050;
inline constexpr int kWsaNetworkUnreachable = 10051;
inline constexpr int kWsaNetworkReset = 10052;
/// Also reported when the TLS layer gives up on a connection (protocol failure).
inline constexpr int kWsaConnectionAborted = 10053;
inline constexpr int kWsaConnectionReset = 10054;
inline constexpr int kWsaNoBufferSpace = 10055;
inline constexpr int kWsaAlreadyConnected = 10056;
inline constexpr int kWsaNotConnected = 10057;
inline constexpr int kWsaShutDown = 10058;
/// Also reported when a peer does not take data within the send time-out.
inline constexpr int kWsaTimedOut = 10060;
inline constexpr int kWsaConnectionRefused = 10061;
inline constexpr int kWsaHostDown = 10064;
inline constexpr int kWsaHostUnreachable = 10065;

/// The socket error number for a POSIX errno value. EAGAIN and EWOULDBLOCK give
/// kWsaWouldBlock, EBADF and ENOTSOCK kWsaNotSocket, EPIPE kWsaConnectionReset (Linux reports
/// a send after the peer's reset that way); 0 gives 0; a value without a counterpart gives
/// kWsaInvalidArgument.
int SocketErrorFromErrno(int error);

}  // namespace socket_errors
