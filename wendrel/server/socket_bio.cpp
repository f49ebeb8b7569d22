// The socket BIO of the TLS connection.
#include "wendrel/server/socket_bio.h"

#include <climits>
#include <string_view>

#include "wendrel/server/socket_errors.h"
#include "wendrel/server/ssl_library.h"
#include "wendrel/server/stream_socket.h"

namespace {

constexpr char kSocketBioName[] = "wendrel socket";

StreamSocket* SocketOf(const SslLibrary& library, BIO* bio) {
  return static_cast<StreamSocket*>(library.BIO_get_data(bio));
}

/// After a failed socket call: asks OpenSSL to retry when the socket would have blocked.
void MarkRetry(const SslLibrary& library, BIO* bio, int direction, const StreamSocket& socket) {
  if (socket.LastError() == socket_errors::kWsaWouldBlock) {
    library.BIO_set_flags(bio, direction | BIO_FLAGS_SHOULD_RETRY);
  }
}

int SocketBioWrite(BIO* bio, const char* data, int length) {
  const SslLibrary& library = *LoadedSslLibrary();
  StreamSocket* socket = SocketOf(library, bio);
  library.BIO_clear_flags(bio, BIO_FLAGS_RWS | BIO_FLAGS_SHOULD_RETRY);
  if (length <= 0) return 0;
  int64_t sent = socket->SendOnce(std::string_view(data, static_cast<size_t>(length)));
  if (sent >= 0) return static_cast<int>(sent);
  MarkRetry(library, bio, BIO_FLAGS_WRITE, *socket);
  return -1;
}

int SocketBioRead(BIO* bio, char* buffer, int size) {
  const SslLibrary& library = *LoadedSslLibrary();
  StreamSocket* socket = SocketOf(library, bio);
  library.BIO_clear_flags(bio, BIO_FLAGS_RWS | BIO_FLAGS_SHOULD_RETRY);
  if (size <= 0) return 0;
  int64_t received = socket->ReceiveOnce(std::span<char>(buffer, static_cast<size_t>(size)));
  // OpenSSL tells the peer's end of stream from a failed read by asking BIO_CTRL_EOF.
  if (received == 0) library.BIO_set_flags(bio, BIO_FLAGS_IN_EOF);
  if (received >= 0) return static_cast<int>(received);
  MarkRetry(library, bio, BIO_FLAGS_READ, *socket);
  return -1;
}

long SocketBioControl(BIO* bio, int command, long number, void* pointer) {
  // Writes go straight to the socket, so a flush has nothing to do; every other request
  // (duplicates, pending counts, kernel TLS) is declined.
  if (command == BIO_CTRL_FLUSH) return 1;
  if (command == BIO_CTRL_EOF) return LoadedSslLibrary()->BIO_test_flags(bio, BIO_FLAGS_IN_EOF);
  return 0;
}

}  // namespace

BIO_METHOD* CreateSocketBioMethod(const SslLibrary& library) {
  int type = library.BIO_get_new_index();
  if (type == -1) return nullptr;
  BIO_METHOD* method = library.BIO_meth_new(type | BIO_TYPE_SOURCE_SINK, kSocketBioName);
  if (method == nullptr) return nullptr;
  // The setters only store a pointer; they cannot fail on a fresh method.
  library.BIO_meth_set_write(method, SocketBioWrite);
  library.BIO_meth_set_read(method, SocketBioRead);
  library.BIO_meth_set_ctrl(method, SocketBioControl);
  return method;
}

BIO* NewSocketBio(const SslLibrary& library, StreamSocket* socket) {
  BIO* bio = library.BIO_new(library.socket_bio_method);
  if (bio == nullptr) return nullptr;
  library.BIO_set_data(bio, socket);
  library.BIO_set_init(bio, 1);
  return bio;
}
