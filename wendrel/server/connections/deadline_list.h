#pragma once
// DeadlineList: connections waiting for one kind of time-out (idle, request, send, linger,
// handshake, worker), in the order they started waiting. Every entry of one list waits for the
// same length of time, so that order is also the order of their deadlines: the loop only ever
// looks at the front. Intrusive: a connection is in at most one list, and joins or leaves it
// in constant time.

#include <chrono>

class HttpConnection;

using SteadyClock = std::chrono::steady_clock;

/// The links a connection carries for the list it is in.
struct DeadlineLink {
  HttpConnection* previous = nullptr;
  HttpConnection* next = nullptr;
  class DeadlineList* list = nullptr;
  SteadyClock::time_point deadline;
};

class DeadlineList {
 public:
  /// `link` gives a connection's links; the list never owns the connections.
  using LinkOf = DeadlineLink& (*)(HttpConnection&);
  explicit DeadlineList(LinkOf link) : link_(link) {}
  DeadlineList(const DeadlineList&) = delete;
  DeadlineList& operator=(const DeadlineList&) = delete;

  /// Moves the connection to the back of this list (out of any list it was in).
  void Add(HttpConnection& connection, SteadyClock::time_point deadline);
  /// Takes the connection out of whatever list holds it.
  static void Remove(HttpConnection& connection, LinkOf link);
  /// The first connection whose deadline is at or before `now`; null when none.
  HttpConnection* FirstExpired(SteadyClock::time_point now) const;
  /// The earliest deadline; nothing when the list is empty.
  bool Earliest(SteadyClock::time_point& deadline) const;
  bool Empty() const { return front_ == nullptr; }

 private:
  LinkOf link_;
  HttpConnection* front_ = nullptr;
  HttpConnection* back_ = nullptr;
};
