#include "platform/ado/connection_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

// Connections are numbers; the test sees what the pool did with each.
class RecordingOperations : public ConnectionPool::Operations {
 public:
  void Disconnect(odbc::SqlHandle connection) override {
    std::lock_guard lock(mutex);
    disconnected.insert(connection);
  }
  bool Reset(odbc::SqlHandle connection) override { return !refuse_reset.count(connection); }
  bool IsAlive(odbc::SqlHandle connection) override { return !dead.count(connection); }

  std::mutex mutex;
  std::set<odbc::SqlHandle> disconnected;
  std::set<odbc::SqlHandle> refuse_reset;
  std::set<odbc::SqlHandle> dead;
};

odbc::SqlHandle Handle(uintptr_t n) { return reinterpret_cast<odbc::SqlHandle>(n); }

class ConnectionPoolTest : public ::testing::Test {
 protected:
  RecordingOperations operations_;
  int64_t now_ = 1000;
};

TEST_F(ConnectionPoolTest, GivesBackTheConnectionOfTheSameString) {
  ConnectionPool pool(operations_, {}, [this] { return now_; });
  EXPECT_EQ(pool.Take(u"a"), nullptr);
  pool.Give(u"a", Handle(1));
  EXPECT_EQ(pool.Take(u"b"), nullptr);
  EXPECT_EQ(pool.Take(u"a"), Handle(1));
  EXPECT_EQ(pool.Take(u"a"), nullptr);
  EXPECT_TRUE(operations_.disconnected.empty());
}

TEST_F(ConnectionPoolTest, TakesTheMostRecentlyGivenFirst) {
  ConnectionPool pool(operations_, {}, [this] { return now_; });
  pool.Give(u"a", Handle(1));
  pool.Give(u"a", Handle(2));
  EXPECT_EQ(pool.Take(u"a"), Handle(2));
  EXPECT_EQ(pool.Take(u"a"), Handle(1));
}

TEST_F(ConnectionPoolTest, KeepsAtMostTheIdleBoundPerString) {
  ConnectionPool pool(operations_, {2, 64, 60000}, [this] { return now_; });
  pool.Give(u"a", Handle(1));
  pool.Give(u"a", Handle(2));
  pool.Give(u"a", Handle(3));
  EXPECT_EQ(pool.IdleCount(), 2u);
  EXPECT_EQ(operations_.disconnected, std::set<odbc::SqlHandle>{Handle(3)});
}

TEST_F(ConnectionPoolTest, KeepsAtMostTheBoundOfStrings) {
  ConnectionPool pool(operations_, {8, 2, 60000}, [this] { return now_; });
  pool.Give(u"a", Handle(1));
  pool.Give(u"b", Handle(2));
  pool.Give(u"c", Handle(3));
  EXPECT_EQ(pool.IdleCount(), 2u);
  EXPECT_TRUE(operations_.disconnected.count(Handle(3)));
  // A string that already has a pool still gets its connections kept.
  pool.Give(u"a", Handle(4));
  EXPECT_EQ(pool.IdleCount(), 3u);
}

TEST_F(ConnectionPoolTest, DisconnectsConnectionsIdlePastTheTimeOut) {
  ConnectionPool pool(operations_, {8, 8, 500}, [this] { return now_; });
  pool.Give(u"a", Handle(1));
  now_ += 400;
  pool.Give(u"a", Handle(2));
  now_ += 200;  // 1 has been idle 600 ms, 2 for 200 ms
  EXPECT_EQ(pool.Take(u"a"), Handle(2));
  EXPECT_EQ(operations_.disconnected, std::set<odbc::SqlHandle>{Handle(1)});
  EXPECT_EQ(pool.IdleCount(), 0u);
}

TEST_F(ConnectionPoolTest, DropsDeadAndUnresettableConnections) {
  ConnectionPool pool(operations_, {}, [this] { return now_; });
  operations_.refuse_reset.insert(Handle(1));
  pool.Give(u"a", Handle(1));
  EXPECT_EQ(pool.IdleCount(), 0u);
  EXPECT_TRUE(operations_.disconnected.count(Handle(1)));
  pool.Give(u"a", Handle(2));
  operations_.dead.insert(Handle(2));
  EXPECT_EQ(pool.Take(u"a"), nullptr);
  EXPECT_TRUE(operations_.disconnected.count(Handle(2)));
}

TEST_F(ConnectionPoolTest, ClearDisconnectsEveryIdleConnection) {
  {
    ConnectionPool pool(operations_, {}, [this] { return now_; });
    pool.Give(u"a", Handle(1));
    pool.Give(u"b", Handle(2));
  }
  EXPECT_EQ(operations_.disconnected, (std::set<odbc::SqlHandle>{Handle(1), Handle(2)}));
}

TEST_F(ConnectionPoolTest, ThreadsShareThePoolWithoutLosingConnections) {
  ConnectionPool pool(operations_, {64, 4, 60000}, [this] { return now_; });
  std::vector<odbc::SqlHandle> held(4);
  std::vector<std::thread> threads;
  for (uintptr_t t = 0; t < 4; ++t) {
    held[t] = Handle(100 + t);
    threads.emplace_back([&pool, &held, t] {
      for (int i = 0; i < 2000 && held[t] != nullptr; ++i) {
        pool.Give(u"shared", held[t]);
        held[t] = pool.Take(u"shared");
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  // Every connection is either idle or held by one thread; none is lost or doubled.
  std::set<odbc::SqlHandle> distinct;
  for (odbc::SqlHandle handle : held) {
    if (handle != nullptr) distinct.insert(handle);
  }
  EXPECT_EQ(pool.IdleCount() + distinct.size(), 4u);
  EXPECT_EQ(distinct.size(), static_cast<size_t>(std::count_if(held.begin(), held.end(), [](odbc::SqlHandle h) { return h != nullptr; })));
  EXPECT_TRUE(operations_.disconnected.empty());
}

}  // namespace
