#pragma once
// SslLibrary: OpenSSL 3 (libcrypto.so.3 and libssl.so.3), loaded with dlopen at the first
// InitSSL and called only through a table of resolved functions, so that the server starts
// and serves plain HTTP on machines without OpenSSL. Once loaded the libraries stay for the
// life of the process (OpenSSL keeps process-wide state and cannot be unloaded safely).
//
// OpenSSL 3 locks its shared state itself; the per-thread lock table that older releases
// needed is gone. Error queues are per thread: callers clear the queue before a call whose
// errors they read.

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <string>

inline constexpr char kCryptoLibraryName[] = "libcrypto.so.3";
inline constexpr char kSslLibraryName[] = "libssl.so.3";

struct SslLibrary {
#define OPENSSL_FUNCTION(library, name) decltype(&::name) name = nullptr;
#include "wendrel/server/ssl_functions.def"
#undef OPENSSL_FUNCTION

  void* crypto_handle = nullptr;
  void* ssl_handle = nullptr;
  /// The BIO method through which TLS sessions reach their socket (tls_connection.cpp).
  BIO_METHOD* socket_bio_method = nullptr;

  /// Any other function of the two libraries (libssl first), or null. For callers outside
  /// the server's own needs, such as a test's TLS client.
  void* Find(const char* name) const;
  /// OpenSSL's text for an error code, at most 127 characters.
  std::string ErrorText(unsigned long code) const;
  /// The text of the oldest error in this thread's queue (empty when there is none); the
  /// queue is emptied.
  std::string TakeErrorText() const;
};

/// Result of loading: the library, or null and the message.
struct SslLibraryLoad {
  const SslLibrary* library = nullptr;
  std::string message;
};

/// The process-wide OpenSSL, loaded at the first call. On failure the message is "Unable to
/// load OpenSSL libraries (DLLs); SSL functionality disabled", "\r\n" and what is missing
/// (the loader's text, or the library and the function); a later call tries again.
/// Thread-safe.
SslLibraryLoad LoadSslLibrary();

/// The process-wide library once LoadSslLibrary has succeeded, else null. Lock-free.
const SslLibrary* LoadedSslLibrary();

/// Loads the two libraries from the given names without touching the process-wide one, for
/// checking the failure reports: the same message as LoadSslLibrary, empty when both load
/// and every function resolves. Whatever was loaded is released again before returning.
std::string ProbeSslLibrary(const char* crypto_name, const char* ssl_name);
