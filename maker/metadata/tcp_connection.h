// TcpConnection: one TCP connection with a time limit on connect, send and every receive,
// and optionally one deadline that no wait goes past, made directly or through a SOCKS
// version 4 proxy.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <netinet/in.h>

#include "common/error.h"
#include "common/unique_fd.h"

// What failed; each case is attached to the Error (WithCase) for callers that map it to a
// code of their own.
enum class TcpFault {
  NoSocket,       // the socket could not be created
  Unresolved,     // the host name or address could not be resolved
  ConnectFailed,  // refused, unreachable, timed out, or the proxy refused
  SendFailed,
  ReceiveFailed,  // error or time limit (errnum ETIMEDOUT)
  Closed,         // the peer closed the connection before a whole line came
  Aborted,        // the abort check asked to stop while waiting
};

// The Error of a failed step: Network (Io for NoSocket, Cancelled for Aborted), with the
// host or address as subject where one is known and errnum where the system gave one.
Error TcpFailure(TcpFault fault, std::string subject = {}, int errnum = 0);

// Asked about every 100 ms while a connect, send or receive waits; true ends the wait.
using AbortCheck = std::function<bool()>;

// The moment after which no wait goes on (ending it as a time limit would); kNoDeadline
// leaves each wait to its own time limit.
using TcpDeadline = std::chrono::steady_clock::time_point;
inline constexpr TcpDeadline kNoDeadline = TcpDeadline::max();

// An IPv4 address and port. A host that starts with a digit is taken as a dotted IPv4
// address; other names are resolved through the system resolver.
Expected<sockaddr_in> ResolveIpv4(const std::string& host, std::uint16_t port);

// Move-only owner of a connected socket.
class TcpConnection {
 public:
  TcpConnection() = default;

  // Connects to `target` directly. `timeout` limits the connect and, later, each send and
  // each wait for received bytes; `deadline` cuts every one of those waits short.
  static Expected<TcpConnection> Connect(const sockaddr_in& target, std::chrono::milliseconds timeout,
                                         AbortCheck abort = {}, TcpDeadline deadline = kNoDeadline);
  // Connects to `proxy` and asks it (SOCKS 4, user "nobody") to connect on to `target`.
  // A reply whose second byte is not 90 is ConnectFailed.
  static Expected<TcpConnection> ConnectViaSocks4(const sockaddr_in& proxy, const sockaddr_in& target,
                                                  std::chrono::milliseconds timeout, AbortCheck abort = {},
                                                  TcpDeadline deadline = kNoDeadline);

  bool IsOpen() const { return static_cast<bool>(fd_); }
  void Close();
  // Moves the deadline of the waits still to come.
  void SetDeadline(TcpDeadline deadline) { deadline_ = deadline; }

  Outcome SendAll(std::string_view bytes);
  // Reads exactly `count` bytes.
  Expected<std::string> ReceiveExactly(std::size_t count);
  // Reads up to a line feed and returns the line without it and without a carriage return
  // before it. Bytes past `maxBytes` are read and dropped. A last line that the peer ends
  // by closing the connection is returned; Closed when nothing came before the close.
  Expected<std::string> ReceiveLine(std::size_t maxBytes);

 private:
  TcpConnection(int fd, std::chrono::milliseconds timeout, AbortCheck abort, TcpDeadline deadline)
      : fd_(fd), timeout_(timeout), abort_(std::move(abort)), deadline_(deadline) {}
  // Waits for received bytes and refills the buffer; false on error, time limit, abort or
  // close (FillError tells which).
  bool Fill();
  Error FillError() const;

  UniqueFd fd_;
  std::chrono::milliseconds timeout_{30000};
  AbortCheck abort_;
  TcpDeadline deadline_ = kNoDeadline;
  std::string buffer_;
  std::size_t bufferPos_ = 0;
  bool closed_ = false;
  bool aborted_ = false;
  bool timedOut_ = false;
};
