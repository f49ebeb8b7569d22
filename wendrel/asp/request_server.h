#pragma once
// What a Request reads from the server that owns it: upload settings, path mapping and the
// facts behind some server variables. The server implements it; tests give their own.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class Request;

class RequestServer {
 public:
  /// The most body bytes a request may announce; larger Content-Length values are clamped.
  virtual int32_t MaxUploadSize() const = 0;
  /// Uploaded files are not written; their content becomes the field's third value.
  virtual bool DisableUpload() const = 0;
  /// The folder uploads go to: an absolute path is a folder, anything else a virtual path;
  /// empty means the private upload folder.
  virtual std::string UploadDir() const = 0;
  /// Where uploads go while UploadDir is empty: a folder of this server's own outside every
  /// folder it serves; empty when none can be made safely (uploads are then not written).
  virtual std::string PrivateUploadFolder() const = 0;
  /// Whether `folder` is, or lies inside, a folder the server serves files from (the site
  /// root, a virtual directory, a host's root).
  virtual bool IsServedFolder(std::string_view folder) const = 0;
  /// The physical path of a virtual path for this request; nothing when it cannot be mapped.
  virtual std::optional<std::string> MapVirtualPath(std::string_view virtual_path,
                                                    const Request& request) const = 0;
  /// Whether the server holds an SSL context (HTTPS is "ON").
  virtual bool HoldsSslContext() const = 0;
  /// The address found for the local host when the server started.
  virtual std::string LocalAddress() const = 0;
  virtual int32_t Port() const = 0;

 protected:
  ~RequestServer() = default;
};
