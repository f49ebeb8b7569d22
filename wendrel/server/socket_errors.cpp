// The errno to Windows Sockets error table.
#include "wendrel/server/socket_errors.h"

#include <cerrno>

namespace socket_errors {
namespace {

struct ErrnoMapping {
  int posix;
  int windows;
};

constexpr ErrnoMapping kErrnoMappings[] = {
    {EINTR, kWsaInterrupted},
    {EACCES, kWsaAccessDenied},
    {EFAULT, kWsaBadAddress},
    {EINVAL, kWsaInvalidArgument},
    {EMFILE, kWsaTooManyOpenSockets},
    {ENFILE, kWsaTooManyOpenSockets},
    {EAGAIN, kWsaWouldBlock},
    {EWOULDBLOCK, kWsaWouldBlock},
    {EINPROGRESS, kWsaInProgress},
    {EALREADY, kWsaAlready},
    {EBADF, kWsaNotSocket},
    {ENOTSOCK, kWsaNotSocket},
    {EMSGSIZE, kWsaMessageTooLong},
    {ENOPROTOOPT, kWsaNoProtocolOption},
    {EOPNOTSUPP, kWsaOperationNotSupported},
    {EADDRINUSE, kWsaAddressInUse},
    {EADDRNOTAVAIL, kWsaAddressNotAvailable},
    {ENETDOWN, kWsaNetworkDown},
    {ENETUNREACH, kWsaNetworkUnreachable},
    {ENETRESET, kWsaNetworkReset},
    {ECONNABORTED, kWsaConnectionAborted},
    {ECONNRESET, kWsaConnectionReset},
    {EPIPE, kWsaConnectionReset},
    {ENOBUFS, kWsaNoBufferSpace},
    {ENOMEM, kWsaNoBufferSpace},
    {EISCONN, kWsaAlreadyConnected},
    {ENOTCONN, kWsaNotConnected},
    {ESHUTDOWN, kWsaShutDown},
    {ETIMEDOUT, kWsaTimedOut},
    {ECONNREFUSED, kWsaConnectionRefused},
    {EHOSTDOWN, kWsaHostDown},
    {EHOSTUNREACH, kWsaHostUnreachable},
};

}  // namespace

int SocketErrorFromErrno(int error) {
  if (error == 0) return 0;
  for (const ErrnoMapping& mapping : kErrnoMappings) {
    if (mapping.posix == error) return mapping.windows;
  }
  return kWsaInvalidArgument;
}

}  // namespace socket_errors
