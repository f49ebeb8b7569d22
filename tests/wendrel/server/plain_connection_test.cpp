#include "wendrel/server/plain_connection.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>

#include <cerrno>
#include <future>
#include <thread>

#include "tests/wendrel/server/transport_test_support.h"
#include "wendrel/server/socket_errors.h"

using namespace std::chrono_literals;
using namespace socket_errors;
using namespace transport_test;

namespace {

using Clock = std::chrono::steady_clock;

/// A temporary file holding `content`, open for reading at position 0.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string_view content) {
    char pattern[] = "/tmp/wendrel_transport_file_XXXXXX";
    descriptor_ = mkstemp(pattern);
    unlink(pattern);
    EXPECT_EQ(write(descriptor_, content.data(), content.size()),
              static_cast<ssize_t>(content.size()));
    lseek(descriptor_, 0, SEEK_SET);
  }
  ~TemporaryFile() { close(descriptor_); }
  int descriptor() const { return descriptor_; }

 private:
  int descriptor_ = -1;
};

/// A plain connection on the server end of a loopback pair. The client end closes first
/// when the test ends, so the connection's graceful close finds the peer gone at once.
struct PlainLoopback {
  explicit PlainLoopback(BufferSizes sizes = {})
      : pair(ConnectLoopback(sizes)), server(pair.server), connection(pair.TakeServer()) {}
  ~PlainLoopback() { pair.CloseClient(); }

  SocketPair pair;
  int server;
  PlainConnection connection;
};

int64_t ElapsedMs(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

TEST(SocketErrors, MapsErrnoToWindowsSocketNumbers) {
  struct Case {
    int posix;
    int expected;
  };
  const Case cases[] = {
      {0, 0},
      {EAGAIN, kWsaWouldBlock},
      {EWOULDBLOCK, kWsaWouldBlock},
      {EBADF, kWsaNotSocket},
      {ENOTSOCK, kWsaNotSocket},
      {ENOTCONN, kWsaNotConnected},
      {ECONNRESET, kWsaConnectionReset},
      {EPIPE, kWsaConnectionReset},
      {ETIMEDOUT, kWsaTimedOut},
      {ENOENT, kWsaInvalidArgument},  // no counterpart
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.posix);
    EXPECT_EQ(SocketErrorFromErrno(test.posix), test.expected);
  }
  EXPECT_EQ(kWsaWouldBlock, 10035);
  EXPECT_EQ(kWsaNotSocket, 10038);
  EXPECT_EQ(kWsaNotConnected, 10057);
}

TEST(PlainConnection, SendsAndReceivesOverLoopback) {
  PlainLoopback loopback;
  SocketPair& pair = loopback.pair;
  PlainConnection& connection = loopback.connection;
  ASSERT_TRUE(connection.IsOpen());
  EXPECT_EQ(connection.Send("hello client"), 12);
  EXPECT_EQ(ReadUntilClosed(pair.client, 12, 2000ms), "hello client");

  ASSERT_TRUE(WriteAll(pair.client, "hello server"));
  ASSERT_GT(connection.WaitReadable(2000), 0);
  char buffer[64];
  EXPECT_EQ(connection.Receive(buffer), 12);
  EXPECT_EQ(std::string_view(buffer, 12), "hello server");
  EXPECT_EQ(connection.LastError(), 0);
  EXPECT_TRUE(connection.GetCertificateVariables().empty());
}

TEST(PlainConnection, ReceiveWithoutDataReportsWouldBlock) {
  PlainLoopback loopback;
  PlainConnection& connection = loopback.connection;
  char buffer[16];
  EXPECT_EQ(connection.Receive(buffer), -1);
  EXPECT_EQ(connection.LastError(), kWsaWouldBlock);
}

TEST(PlainConnection, ReceiveGivesZeroWhenPeerCloses) {
  PlainLoopback loopback;
  SocketPair& pair = loopback.pair;
  PlainConnection& connection = loopback.connection;
  close(pair.client);
  pair.client = -1;
  ASSERT_GT(connection.WaitReadable(2000), 0);
  char buffer[16];
  EXPECT_EQ(connection.Receive(buffer), 0);
}

TEST(PlainConnection, WaitReadableTimesOutThenSeesData) {
  PlainLoopback loopback;
  SocketPair& pair = loopback.pair;
  PlainConnection& connection = loopback.connection;
  Clock::time_point start = Clock::now();
  EXPECT_EQ(connection.WaitReadable(150), 0);
  EXPECT_GE(ElapsedMs(start), 140);
  EXPECT_EQ(connection.WaitReadable(-5), 0);  // a negative time-out does not wait forever

  std::thread writer([&] {
    std::this_thread::sleep_for(50ms);
    WriteAll(pair.client, "x");
  });
  EXPECT_EQ(connection.WaitReadable(5000), 1);
  writer.join();
}

TEST(PlainConnection, ClosedConnectionReportsNotConnected) {
  PlainLoopback loopback;
  SocketPair& pair = loopback.pair;
  PlainConnection& connection = loopback.connection;
  connection.CloseAtOnce();
  EXPECT_FALSE(connection.IsOpen());
  EXPECT_EQ(connection.LastError(), kWsaNotConnected);
  char buffer[8];
  EXPECT_EQ(connection.Send("late"), -1);
  EXPECT_EQ(connection.Receive(buffer), -1);
  EXPECT_EQ(connection.WaitReadable(0), -1);
  EXPECT_EQ(connection.SendFile(0, 10), -1);
  EXPECT_EQ(connection.LastError(), kWsaNotConnected);
  // The client sees the end of the connection.
  int error = 0;
  EXPECT_EQ(ReadUntilClosed(pair.client, 100, 2000ms, &error), "");
}

TEST(PlainConnection, DescriptorThatIsNoSocketReportsNotASocket) {
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  PlainConnection reader(pipe_ends[0]);
  PlainConnection writer(pipe_ends[1]);
  EXPECT_EQ(writer.Send("data"), -1);
  EXPECT_EQ(writer.LastError(), kWsaNotSocket);
  char buffer[8];
  EXPECT_EQ(reader.Receive(buffer), -1);
  EXPECT_EQ(reader.LastError(), kWsaNotSocket);
  EXPECT_FALSE(writer.SetServingMode(true));
}

TEST(PlainConnection, DetachLeavesTheSocketOpen) {
  SocketPair pair = ConnectLoopback();
  int server = pair.server;
  int detached = -1;
  {
    PlainConnection connection(pair.TakeServer());
    detached = connection.Detach();
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_EQ(connection.LastError(), kWsaNotConnected);
  }  // destroying the connection must not close the detached socket
  EXPECT_EQ(detached, server);
  EXPECT_TRUE(WriteAll(detached, "still here"));
  EXPECT_EQ(ReadUntilClosed(pair.client, 10, 2000ms), "still here");
  close(detached);
}

TEST(PlainConnection, GracefulCloseDeliversResponseDespiteUnreadRequestBytes) {
  SocketPair pair = ConnectLoopback();
  ASSERT_TRUE(WriteAll(pair.client, std::string(3000, 'r')));  // never read by the server
  std::string response = PatternBytes(200000);
  auto closing = std::async(std::launch::async, [&, descriptor = pair.TakeServer()] {
    PlainConnection connection(descriptor);
    std::this_thread::sleep_for(100ms);  // the request bytes have arrived
    EXPECT_EQ(connection.Send(response), static_cast<int64_t>(response.size()));
    connection.CloseGracefully();
    EXPECT_FALSE(connection.IsOpen());
  });
  std::this_thread::sleep_for(300ms);  // let the server close before the client reads
  int error = 0;
  std::string received = ReadUntilClosed(pair.client, response.size() + 1, 3000ms, &error);
  EXPECT_EQ(error, 0) << "the connection was reset";
  EXPECT_TRUE(received == response) << received.size() << " bytes";
  close(pair.client);
  pair.client = -1;
  closing.get();
}

TEST(PlainConnection, GracefulCloseIsBoundedWhenPeerKeepsSending) {
  SocketPair pair = ConnectLoopback();
  std::atomic<bool> stop{false};
  std::thread sender([&] {
    std::string chunk(16384, 's');
    Clock::time_point start = Clock::now();
    while (!stop && ElapsedMs(start) < 10000) {
      if (!WriteAll(pair.client, chunk)) break;
      std::this_thread::sleep_for(1ms);
    }
    shutdown(pair.client, SHUT_WR);  // ends a close that waits for the peer without limit
  });
  PlainConnection connection(pair.TakeServer());
  std::this_thread::sleep_for(50ms);
  Clock::time_point start = Clock::now();
  connection.CloseGracefully();
  int64_t elapsed = ElapsedMs(start);
  stop = true;
  sender.join();
  EXPECT_FALSE(connection.IsOpen());
  EXPECT_LT(elapsed, StreamSocket::kLingerTimeLimit.count() + 1000);
}

TEST(PlainConnection, SendFileDeliversLargeFileByteForByte) {
  std::string content = PatternBytes(3 * 1024 * 1024);
  TemporaryFile file(content);
  PlainLoopback loopback({.client_receive = 65536, .server_send = 65536});
  SocketPair& pair = loopback.pair;
  PlainConnection& connection = loopback.connection;
  auto reading = std::async(std::launch::async, [&] {
    return ReadUntilClosed(pair.client, content.size(), 5000ms);
  });
  EXPECT_EQ(connection.SendFile(file.descriptor(), static_cast<int64_t>(content.size())),
            static_cast<int64_t>(content.size()));
  std::string received = reading.get();
  EXPECT_EQ(received.size(), content.size());
  EXPECT_TRUE(received == content);
  EXPECT_TRUE(connection.IsOpen());  // sending a file does not end the connection
}

TEST(PlainConnection, SendFileStartsAtFilePositionAndStopsAtEnd) {
  std::string content = PatternBytes(10000);
  TemporaryFile file(content);
  PlainLoopback loopback;
  SocketPair& pair = loopback.pair;
  PlainConnection& connection = loopback.connection;
  lseek(file.descriptor(), 1234, SEEK_SET);
  EXPECT_EQ(connection.SendFile(file.descriptor(), 5000), 5000);
  EXPECT_EQ(ReadUntilClosed(pair.client, 5000, 2000ms), content.substr(1234, 5000));
  // Asking for more than is left sends the rest.
  EXPECT_EQ(connection.SendFile(file.descriptor(), 100000), 10000 - 6234);
  EXPECT_EQ(ReadUntilClosed(pair.client, 3766, 2000ms), content.substr(6234));
  EXPECT_EQ(connection.SendFile(file.descriptor(), -1), -1);
  EXPECT_EQ(connection.LastError(), kWsaInvalidArgument);
}

TEST(PlainConnection, SendFileCopiesWhatTheKernelCannotSendDirectly) {
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  std::string content = PatternBytes(200000);  // more than a pipe holds
  std::thread producer([&] {
    std::string_view rest = content;
    while (!rest.empty()) {
      ssize_t written = write(pipe_ends[1], rest.data(), rest.size());
      if (written <= 0) break;
      rest.remove_prefix(static_cast<size_t>(written));
    }
    close(pipe_ends[1]);
  });
  PlainLoopback loopback;
  SocketPair& pair = loopback.pair;
  PlainConnection& connection = loopback.connection;
  auto reading = std::async(std::launch::async, [&] {
    return ReadUntilClosed(pair.client, content.size(), 5000ms);
  });
  EXPECT_EQ(connection.SendFile(pipe_ends[0], static_cast<int64_t>(content.size())),
            static_cast<int64_t>(content.size()));
  producer.join();
  close(pipe_ends[0]);
  EXPECT_TRUE(reading.get() == content);
}

TEST(PlainConnection, SendFileOfUnreadableFileReportsInvalidArgument) {
  int folder = open("/tmp", O_RDONLY | O_DIRECTORY);
  ASSERT_GE(folder, 0);
  PlainLoopback loopback;
  PlainConnection& connection = loopback.connection;
  EXPECT_EQ(connection.SendFile(folder, 100), -1);
  EXPECT_EQ(connection.LastError(), kWsaInvalidArgument);
  EXPECT_TRUE(connection.IsOpen());
  close(folder);
}

TEST(PlainConnection, SendGivesUpWhenPeerStopsReading) {
  PlainLoopback loopback({.client_receive = 8192, .server_send = 8192});
  PlainConnection& connection = loopback.connection;
  connection.SetSendTimeout(300ms);
  Clock::time_point start = Clock::now();
  EXPECT_EQ(connection.Send(PatternBytes(8 * 1024 * 1024)), -1);
  EXPECT_EQ(connection.LastError(), kWsaTimedOut);
  EXPECT_LT(ElapsedMs(start), 5000);
}

TEST(PlainConnection, PeerResetMidTransferFailsWithoutSignal) {
  PlainLoopback loopback({.client_receive = 16384, .server_send = 16384});
  SocketPair& pair = loopback.pair;
  PlainConnection& connection = loopback.connection;
  connection.SetSendTimeout(5000ms);
  auto sending = std::async(std::launch::async, [&] {
    return connection.Send(PatternBytes(16 * 1024 * 1024));
  });
  std::string start = ReadUntilClosed(pair.client, 65536, 2000ms);
  EXPECT_EQ(start.size(), 65536u);
  ResetAndClose(pair.client);
  pair.client = -1;
  EXPECT_EQ(sending.get(), -1);
  EXPECT_EQ(connection.LastError(), kWsaConnectionReset);
  // The next send meets EPIPE, which would raise SIGPIPE and end the test process.
  ASSERT_TRUE(SigpipeEndsTheProcess());
  EXPECT_EQ(connection.Send("more"), -1);
  EXPECT_EQ(connection.LastError(), kWsaConnectionReset);
}

TEST(PlainConnection, SendFileToAResetPeerFailsWithoutSignal) {
  PlainLoopback loopback({.client_receive = 16384, .server_send = 16384});
  SocketPair& pair = loopback.pair;
  PlainConnection& connection = loopback.connection;
  connection.SetSendTimeout(5000ms);
  std::string path = std::filesystem::temp_directory_path() /
                     ("wendrel-sendfile-" + std::to_string(getpid()));
  std::ofstream(path, std::ios::binary) << PatternBytes(8 * 1024 * 1024);
  ASSERT_TRUE(SigpipeEndsTheProcess());
  ResetAndClose(pair.client);
  pair.client = -1;
  std::this_thread::sleep_for(50ms);  // the reset has arrived: the next write meets EPIPE
  for (int attempt = 0; attempt < 2; ++attempt) {
    int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(file, 0);
    EXPECT_EQ(connection.SendFile(file, 8 * 1024 * 1024), -1);
    close(file);
  }
  EXPECT_EQ(connection.LastError(), kWsaConnectionReset);
  std::filesystem::remove(path);
}

TEST(PlainConnection, ServingModeSwitchesNagleOff) {
  PlainLoopback loopback;
  int server = loopback.server;
  PlainConnection& connection = loopback.connection;
  auto no_delay = [server] {
    int value = -1;
    socklen_t length = sizeof value;
    getsockopt(server, IPPROTO_TCP, TCP_NODELAY, &value, &length);
    return value;
  };
  ASSERT_TRUE(connection.SetServingMode(false));
  EXPECT_EQ(no_delay(), 0);
  ASSERT_TRUE(connection.SetServingMode(true));
  EXPECT_NE(no_delay(), 0);
}

TEST(PlainConnection, InterruptWakesAWaitOnAnotherThread) {
  PlainLoopback loopback;
  PlainConnection& connection = loopback.connection;
  Clock::time_point start = Clock::now();
  std::thread stopper([&] {
    std::this_thread::sleep_for(100ms);
    connection.Interrupt();
  });
  EXPECT_GT(connection.WaitReadable(10000), 0);
  stopper.join();
  EXPECT_LT(ElapsedMs(start), 5000);
  char buffer[8];
  EXPECT_EQ(connection.Receive(buffer), 0);
  EXPECT_TRUE(connection.IsOpen());  // the owner still closes
}
