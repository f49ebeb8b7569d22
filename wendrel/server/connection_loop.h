#pragma once
// The life of one connection on its worker: read until a request is complete, parse it,
// answer it, and keep the connection for the next request or close it. Requests that cannot
// be framed safely (a header block past the limit, Transfer-Encoding, conflicting lengths) and
// clients that stall are answered with a refusal and closed.

#include <atomic>

class CHTTPServer;
class Connection;
struct WorkerSlot;

/// Serves `connection` until it closes, the server stops or the keep-alive decision ends it.
/// The connection is left for the caller to destroy.
void ServeConnection(CHTTPServer& server, WorkerSlot& slot, Connection& connection,
                     const std::atomic<bool>& stopping);
