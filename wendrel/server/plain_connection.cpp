// PlainConnection: the plain TCP kind of connection.
#include "wendrel/server/plain_connection.h"

#include <poll.h>

PlainConnection::~PlainConnection() { socket_.CloseGracefully(); }

int PlainConnection::WaitReadable(int timeout_ms) { return socket_.WaitFor(POLLIN, timeout_ms); }
