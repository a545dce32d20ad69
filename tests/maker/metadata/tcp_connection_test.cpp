// TcpConnection: line reading, an aborted connect and dotted addresses.
#include "maker/metadata/tcp_connection.h"

#include <gtest/gtest.h>

#include <chrono>

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
  for (const std::string& line : {std::string("first"), std::string(1024, 'x'),
                                  std::string("short"), std::string("last")}) {
    EXPECT_EQ(tcp.ReceiveLine(1024).Value(), line);
  }
  auto after = tcp.ReceiveLine(1024);
  ASSERT_FALSE(after);
  EXPECT_TRUE(after.Error().Is(TcpFault::Closed));
}

// Catches: a cancel that has to wait for the whole time limit of an unanswered connect.
TEST(TcpConnection, AbortCheckEndsAnUnansweredConnect) {
  LoopbackServer unanswering(nullptr, /*fillBacklog=*/true);
  const auto start = std::chrono::steady_clock::now();
  auto hanging = TcpConnection::Connect(Local(unanswering.Port()), milliseconds(20000),
                                        [] { return true; });
  ASSERT_FALSE(hanging);
  EXPECT_TRUE(hanging.Error().Is(TcpFault::Aborted));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// Catches: names that start with a digit sent to the resolver, or bad dotted addresses
// accepted.
TEST(TcpConnection, DottedAddressesAreParsedDirectly) {
  EXPECT_EQ(ntohs(ResolveIpv4("127.0.0.1", 888).Value().sin_port), 888);
  for (const char* bad : {"127.0.0.300", "1host.invalid", ""}) {
    EXPECT_FALSE(ResolveIpv4(bad, 888)) << bad;
  }
}

}  // namespace
