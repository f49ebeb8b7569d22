// SslLibrary: loading OpenSSL 3 at run time and resolving its functions by name.
#include "wendrel/server/ssl_library.h"

#include <dlfcn.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "wendrel/server/socket_bio.h"
#include "wendrel/server/transport_texts.h"

namespace {

/// OpenSSL writes at most this many characters (and a NUL) for one error.
constexpr size_t kErrorTextBytes = 128;

constinit std::atomic<const SslLibrary*> g_loaded_library{nullptr};

enum class LibraryKind { Crypto, Ssl };

struct LibraryNames {
  const char* crypto;
  const char* ssl;
};

std::string LoaderError() {
  const char* text = dlerror();
  return text != nullptr ? text : "the dynamic loader gave no reason";
}

template <class Function>
bool Resolve(void* handle, const char* name, Function* function) {
  void* address = dlsym(handle, name);
  if (address == nullptr) return false;
  *function = reinterpret_cast<Function>(address);
  return true;
}

/// Resolves every function of ssl_functions.def; the missing one described, or empty.
std::string ResolveFunctions(const LibraryNames& names, SslLibrary& library) {
  auto handle_of = [&](LibraryKind kind) {
    return kind == LibraryKind::Crypto ? library.crypto_handle : library.ssl_handle;
  };
  auto name_of = [&](LibraryKind kind) {
    return std::string(kind == LibraryKind::Crypto ? names.crypto : names.ssl);
  };
#define OPENSSL_FUNCTION(kind, name)                                               \
  if (!Resolve(handle_of(LibraryKind::kind), #name, &library.name)) {              \
    return name_of(LibraryKind::kind) + " has no function " #name;                 \
  }
#include "wendrel/server/ssl_functions.def"
#undef OPENSSL_FUNCTION
  return {};
}

/// Opens both libraries and resolves the table; the missing piece described, or empty.
std::string Open(const LibraryNames& names, SslLibrary& library) {
  library.crypto_handle = dlopen(names.crypto, RTLD_NOW | RTLD_LOCAL);
  if (library.crypto_handle == nullptr) return LoaderError();
  library.ssl_handle = dlopen(names.ssl, RTLD_NOW | RTLD_LOCAL);
  if (library.ssl_handle == nullptr) return LoaderError();
  return ResolveFunctions(names, library);
}

void Close(SslLibrary& library) {
  if (library.ssl_handle != nullptr) dlclose(library.ssl_handle);
  if (library.crypto_handle != nullptr) dlclose(library.crypto_handle);
  library.ssl_handle = nullptr;
  library.crypto_handle = nullptr;
}

/// Starts the library and creates the transport's BIO method; the failure, or empty.
std::string Start(SslLibrary& library) {
  uint64_t options = OPENSSL_INIT_LOAD_SSL_STRINGS | OPENSSL_INIT_LOAD_CRYPTO_STRINGS;
  if (library.OPENSSL_init_ssl(options, nullptr) != 1) return "OPENSSL_init_ssl failed";
  library.socket_bio_method = CreateSocketBioMethod(library);
  if (library.socket_bio_method == nullptr) return "the socket BIO method cannot be created";
  return {};
}

std::string LoadFailure(const std::string& reason) {
  return std::string(kSslLoadFailedText) + "\r\n" + reason;
}

}  // namespace

void* SslLibrary::Find(const char* name) const {
  void* address = ssl_handle != nullptr ? dlsym(ssl_handle, name) : nullptr;
  if (address == nullptr && crypto_handle != nullptr) address = dlsym(crypto_handle, name);
  return address;
}

std::string SslLibrary::ErrorText(unsigned long code) const {
  char text[kErrorTextBytes] = {};
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

std::string SslLibrary::TakeErrorText() const {
  unsigned long code = ERR_get_error();
  ERR_clear_error();
  return code == 0 ? std::string() : ErrorText(code);
}

SslLibraryLoad LoadSslLibrary() {
  static std::mutex load_mutex;
  std::lock_guard lock(load_mutex);
  if (const SslLibrary* loaded = LoadedSslLibrary()) return {loaded, {}};
  auto library = std::make_unique<SslLibrary>();
  std::string missing = Open({kCryptoLibraryName, kSslLibraryName}, *library);
  if (!missing.empty()) {
    // Nothing of OpenSSL has run yet, so unloading is safe.
    Close(*library);
    return {nullptr, LoadFailure(missing)};
  }
  // A library that has started stays loaded even when starting failed.
  missing = Start(*library);
  if (!missing.empty()) return {nullptr, LoadFailure(missing)};
  // Kept for the life of the process, like the libraries themselves.
  const SslLibrary* loaded = library.release();
  g_loaded_library.store(loaded, std::memory_order_release);
  return {loaded, {}};
}

const SslLibrary* LoadedSslLibrary() {
  return g_loaded_library.load(std::memory_order_acquire);
}

std::string ProbeSslLibrary(const char* crypto_name, const char* ssl_name) {
  SslLibrary library;
  std::string missing = Open({crypto_name, ssl_name}, library);
  Close(library);
  return missing.empty() ? std::string() : LoadFailure(missing);
}
