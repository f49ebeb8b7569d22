#pragma once
// The BIO through which a TLS session reaches its socket. OpenSSL's own socket BIO writes
// with write(2), which raises SIGPIPE when the client has reset the connection and would end
// the host process; this one sends with MSG_NOSIGNAL and leaves the error number in the
// StreamSocket, where the connection reads it.

#include <openssl/bio.h>

class StreamSocket;
struct SslLibrary;

/// The BIO method (made once, when the library is loaded); null on failure.
BIO_METHOD* CreateSocketBioMethod(const SslLibrary& library);

/// A BIO over `socket`, which must outlive it; the BIO never closes the socket. Null on
/// failure. Reads and writes never wait: a full or empty socket asks OpenSSL to retry.
BIO* NewSocketBio(const SslLibrary& library, StreamSocket* socket);
