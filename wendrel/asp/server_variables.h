#pragma once
// Request.ServerVariables: the variables stored while the headers were parsed (ALL_RAW,
// ALL_HTTP, SERVER_NAME, SERVER_PORT, HTTP_<header> of the headers without a variable of their
// own), plus the variables computed from the request at each lookup (PATH_INFO,
// HTTP_USER_AGENT, ...). Computed variables answer a string, not an Item, and are not entries:
// Count and For Each do not see them.

#include <optional>

#include "wendrel/asp/collection.h"

class Request;

class ServerVariables : public Collection {
 public:
  /// `request` owns this collection and detaches itself before it goes.
  explicit ServerVariables(const Request* request);
  void DetachRequest() { request_ = nullptr; }

 protected:
  Result<std::optional<Variant>> ComputedItem(const VARIANT& index) override;

 private:
  const Request* request_;
};
