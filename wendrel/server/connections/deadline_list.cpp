#include "wendrel/server/connections/deadline_list.h"

void DeadlineList::Add(HttpConnection& connection, SteadyClock::time_point deadline) {
  Remove(connection, link_);
  DeadlineLink& link = link_(connection);
  link.list = this;
  link.deadline = deadline;
  link.previous = back_;
  link.next = nullptr;
  if (back_ != nullptr) {
    link_(*back_).next = &connection;
  } else {
    front_ = &connection;
  }
  back_ = &connection;
}

void DeadlineList::Remove(HttpConnection& connection, LinkOf link_of) {
  DeadlineLink& link = link_of(connection);
  DeadlineList* list = link.list;
  if (list == nullptr) return;
  if (link.previous != nullptr) {
    link_of(*link.previous).next = link.next;
  } else {
    list->front_ = link.next;
  }
  if (link.next != nullptr) {
    link_of(*link.next).previous = link.previous;
  } else {
    list->back_ = link.previous;
  }
  link = DeadlineLink{};
}

HttpConnection* DeadlineList::FirstExpired(SteadyClock::time_point now) const {
  if (front_ == nullptr || link_(*front_).deadline > now) return nullptr;
  return front_;
}

bool DeadlineList::Earliest(SteadyClock::time_point& deadline) const {
  if (front_ == nullptr) return false;
  deadline = link_(*front_).deadline;
  return true;
}
