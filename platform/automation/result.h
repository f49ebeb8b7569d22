#pragma once
// Result<T>: a value or an Error. Functions that can fail return it [[nodiscard]] and callers
// propagate failures with TRY(expr), which yields the value or returns the error.

#include <optional>
#include <utility>
#include <variant>

#include "platform/automation/error.h"

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT
  Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}  // NOLINT
  Result(ErrorNumber number) : state_(std::in_place_index<1>, Error(number)) {}  // NOLINT

  bool ok() const { return state_.index() == 0; }
  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  const Error& error() const& { return std::get<1>(state_); }
  Error&& error() && { return std::get<1>(std::move(state_)); }

  T ValueOr(T fallback) && { return ok() ? std::move(value()) : std::move(fallback); }

 private:
  std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::move(error)) {}  // NOLINT
  Result(ErrorNumber number) : error_(Error(number)) {}  // NOLINT

  bool ok() const { return !error_.has_value(); }
  void value() const {}
  const Error& error() const& { return *error_; }
  Error&& error() && { return std::move(*error_); }

 private:
  std::optional<Error> error_;
};

/// Evaluates a Result-returning expression; on failure returns its error from the enclosing
/// function, otherwise yields the value.
#define TRY(expression)                                   \
  ({                                                      \
    auto&& try_result_ = (expression);                    \
    if (!try_result_.ok()) return std::move(try_result_).error(); \
    std::move(try_result_).value();                       \
  })
