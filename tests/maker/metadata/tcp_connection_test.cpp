// TcpConnection: line reading, time limits and the SOCKS 4 hand-shake.
#include "maker/metadata/tcp_connection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "loopback_server.h"

namespace {

using std::chrono::milliseconds;

sockaddr_in Local(std::uint16_t port) { return ResolveIpv4("127.0.0.1", port).Value(); }

// Catches: CR kept in lines, overlong lines overrunning their buffer, or a last line
// without line feed lost.
TEST(TcpConnection, ReadsLinesCutsLongOnesAndKeepsUnterminatedLast) {
  LoopbackServer server([](TestConnection& c) {
    c.Send("first\r\n" + std::string(3000, 'x') + "\nshort\nlast");
  });
  auto connection = TcpConnection::Connect(Local(server.Port()), milliseconds(2000));
  ASSERT_TRUE(connection);
  auto& tcp = connection.Value();
  EXPECT_EQ(tcp.ReceiveLine(1024).Value(), "first");
  EXPECT_EQ(tcp.ReceiveLine(1024).Value(), std::string(1024, 'x'));
  EXPECT_EQ(tcp.ReceiveLine(1024).Value(), "short");
  EXPECT_EQ(tcp.ReceiveLine(1024).Value(), "last");
  auto after = tcp.ReceiveLine(1024);
  ASSERT_FALSE(after);
  EXPECT_EQ(after.Error(), TcpError::Closed);
}

// Catches: a cancel that has to wait for the whole time limit of a silent peer.
TEST(TcpConnection, AbortCheckEndsWaitsEarly) {
  LoopbackServer server([](TestConnection& c) { c.Stall(); });
  std::atomic<bool> stop{false};
  auto connection = TcpConnection::Connect(Local(server.Port()), milliseconds(20000),
                                           [&stop] { return stop.load(); });
  ASSERT_TRUE(connection);
  std::thread canceller([&stop] {
    std::this_thread::sleep_for(milliseconds(200));
    stop = true;
  });
  const auto start = std::chrono::steady_clock::now();
  auto line = connection.Value().ReceiveLine(1024);
  canceller.join();
  ASSERT_FALSE(line);
  EXPECT_EQ(line.Error(), TcpError::Aborted);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

  LoopbackServer unanswering(nullptr, /*fillBacklog=*/true);
  auto hanging = TcpConnection::Connect(Local(unanswering.Port()), milliseconds(20000),
                                        [] { return true; });
  ASSERT_FALSE(hanging);
  EXPECT_EQ(hanging.Error(), TcpError::Aborted);
}

// Catches: names that start with a digit sent to the resolver, or bad dotted addresses
// accepted.
TEST(TcpConnection, DottedAddressesAreParsedDirectly) {
  auto address = ResolveIpv4("127.0.0.1", 888);
  ASSERT_TRUE(address);
  EXPECT_EQ(ntohs(address.Value().sin_port), 888);
  EXPECT_FALSE(ResolveIpv4("127.0.0.300", 888));
  EXPECT_FALSE(ResolveIpv4("1host.invalid", 888));
  EXPECT_FALSE(ResolveIpv4("", 888));
}

}  // namespace
