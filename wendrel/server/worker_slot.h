#pragma once
// WorkerSlot: one worker thread of the pool with what it keeps from request to request: the
// Request and Response objects, the request buffer, and the connection it serves. In hand-over
// mode the listener gives it sockets through its work signal.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/com/com_ptr.h"
#include "wendrel/server/request_buffer.h"

class Connection;
class Request;
class Response;

enum class WorkerState { NotStarted = 0, Running = 1, Ended = 2 };

struct WorkerSlot {
  size_t index = 0;
  std::thread thread;
  std::atomic<WorkerState> state{WorkerState::NotStarted};
  std::string client_address;  // dotted IPv4 text of the peer, at most 30 characters

  // Created on the slot's first request, on its own thread, and reused.
  ComPtr<Request> request;
  ComPtr<Response> response;
  RequestBuffer buffer;

  // The connection being served; the stopping server interrupts it from its own thread.
  std::mutex connection_mutex;
  Connection* connection = nullptr;

  // Hand-over mode: the listener sets busy and the socket, then signals.
  std::mutex work_mutex;
  std::condition_variable work;
  bool busy = false;
  int handed_socket = -1;
};
