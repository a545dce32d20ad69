// TcpConnection over POSIX sockets: non-blocking connect and poll-limited waits.
#include "maker/metadata/tcp_connection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr auto kAbortSlice = std::chrono::milliseconds(100);

constexpr int kPollAborted = -2;

// Waits for `events` on fd, at most `timeout` and never past `overall`, asking `abort`
// between slices and retrying after signals. >0 ready, 0 time limit, kPollAborted, other
// <0 error.
int PollOne(int fd, short events, std::chrono::milliseconds timeout, TcpDeadline overall, const AbortCheck& abort) {
  const auto now = std::chrono::steady_clock::now();
  // Compared before adding, so that kNoDeadline never overflows.
  const auto deadline = overall - now < timeout ? overall : now + timeout;
  for (;;) {
    if (abort && abort()) return kPollAborted;
    // Rounded up, so that a wait never ends before its limit has passed.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return 0;
    const auto slice = abort ? std::min(left, kAbortSlice) : left;
    pollfd entry{fd, events, 0};
    const auto waitMs = std::min<long long>(slice.count(), 86400000);
    const int ready = ::poll(&entry, 1, static_cast<int>(waitMs));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) continue;
    if (ready > 0 && (entry.revents & (POLLERR | POLLNVAL)) && !(entry.revents & events)) {
      return -1;
    }
    return ready;
  }
}

// "127.0.0.1:8880".
std::string AddressText(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

}  // namespace

Error TcpFailure(TcpFault fault, std::string subject, int errnum) {
  ErrorCategory category = ErrorCategory::Network;
  std::string text;
  switch (fault) {
    case TcpFault::NoSocket:
      category = ErrorCategory::Io;
      text = "cannot create a socket";
      break;
    case TcpFault::Unresolved: text = "cannot resolve the address"; break;
    case TcpFault::ConnectFailed: text = "cannot connect"; break;
    case TcpFault::SendFailed: text = "cannot send"; break;
    case TcpFault::ReceiveFailed: text = "no reply"; break;
    case TcpFault::Closed: text = "the connection was closed"; break;
    case TcpFault::Aborted:
      category = ErrorCategory::Cancelled;
      text = "cancelled";
      break;
  }
  if (!subject.empty()) text += " (" + subject + ")";
  std::string reason = errnum != 0 ? std::strerror(errnum) : std::string();
  if (!reason.empty()) text += ": " + reason;
  return Error(category, {}, std::move(text), std::move(reason), std::move(subject), errnum).WithCase(fault);
}

Expected<sockaddr_in> ResolveIpv4(const std::string& host, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (host.empty()) return Fail(TcpFailure(TcpFault::Unresolved));
  if (host[0] >= '0' && host[0] <= '9') {
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
      return Fail(TcpFailure(TcpFault::Unresolved, host));
    }
    return address;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return Fail(TcpFailure(TcpFault::Unresolved, host));
  }
  address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  ::freeaddrinfo(found);
  return address;
}

void TcpConnection::Close() {
  fd_.Reset();
  buffer_.clear();
  bufferPos_ = 0;
}

Expected<TcpConnection> TcpConnection::Connect(const sockaddr_in& target, std::chrono::milliseconds timeout,
                                               AbortCheck abort, TcpDeadline deadline) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return Fail(TcpFailure(TcpFault::NoSocket, {}, errno));
  TcpConnection connection(fd, timeout, std::move(abort), deadline);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
    if (errno != EINPROGRESS) return Fail(TcpFailure(TcpFault::ConnectFailed, AddressText(target), errno));
    const int ready = PollOne(fd, POLLOUT, timeout, deadline, connection.abort_);
    if (ready == kPollAborted) return Fail(TcpFailure(TcpFault::Aborted, AddressText(target)));
    if (ready <= 0) return Fail(TcpFailure(TcpFault::ConnectFailed, AddressText(target), ready < 0 ? errno : ETIMEDOUT));
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) return Fail(TcpFailure(TcpFault::ConnectFailed, AddressText(target), error));
  }
  return connection;
}

Expected<TcpConnection> TcpConnection::ConnectViaSocks4(
    const sockaddr_in& proxy, const sockaddr_in& target, std::chrono::milliseconds timeout,
    AbortCheck abort, TcpDeadline deadline) {
  auto connected = Connect(proxy, timeout, std::move(abort), deadline);
  if (!connected) return connected;
  TcpConnection connection = std::move(connected).Value();
  // Version 4, command 1 (connect), port and address in network order, user "nobody".
  std::string request;
  request.push_back(4);
  request.push_back(1);
  request.append(reinterpret_cast<const char*>(&target.sin_port), 2);
  request.append(reinterpret_cast<const char*>(&target.sin_addr.s_addr), 4);
  request.append("nobody");
  request.push_back('\0');
  // Every failure of the exchange with the proxy is a failed connect, unless it was stopped.
  const std::string through = AddressText(target) + " through " + AddressText(proxy);
  if (auto sent = connection.SendAll(request); !sent) {
    if (sent.Error().Is(TcpFault::Aborted)) return Fail(TcpFailure(TcpFault::Aborted, through));
    return Fail(TcpFailure(TcpFault::ConnectFailed, through, sent.Error().errnum));
  }
  auto reply = connection.ReceiveExactly(8);
  if (!reply && reply.Error().Is(TcpFault::Aborted)) return Fail(TcpFailure(TcpFault::Aborted, through));
  // A silent proxy is a time limit; a reply other than 90 (granted) a refusal.
  if (!reply) return Fail(TcpFailure(TcpFault::ConnectFailed, through, reply.Error().errnum));
  if (static_cast<unsigned char>(reply.Value()[1]) != 90) {
    return Fail(TcpFailure(TcpFault::ConnectFailed, through, ECONNREFUSED));
  }
  return connection;
}

Outcome TcpConnection::SendAll(std::string_view bytes) {
  while (!bytes.empty()) {
    if (!fd_) return Fail(TcpFailure(TcpFault::SendFailed, {}, EBADF));
    const ssize_t sent = ::send(fd_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(sent));
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const int ready = PollOne(fd_.Get(), POLLOUT, timeout_, deadline_, abort_);
      if (ready > 0) continue;
      if (ready == kPollAborted) return Fail(TcpFailure(TcpFault::Aborted));
      return Fail(TcpFailure(TcpFault::SendFailed, {}, ready < 0 ? errno : ETIMEDOUT));
    }
    return Fail(TcpFailure(TcpFault::SendFailed, {}, sent < 0 ? errno : 0));
  }
  return Done{};
}

Error TcpConnection::FillError() const {
  if (aborted_) return TcpFailure(TcpFault::Aborted);
  if (closed_) return TcpFailure(TcpFault::Closed);
  return TcpFailure(TcpFault::ReceiveFailed, {}, timedOut_ ? ETIMEDOUT : 0);
}

bool TcpConnection::Fill() {
  if (!fd_ || closed_ || aborted_) return false;
  if (bufferPos_ == buffer_.size()) {
    buffer_.clear();
    bufferPos_ = 0;
  }
  char chunk[4096];
  for (;;) {
    const int ready = PollOne(fd_.Get(), POLLIN, timeout_, deadline_, abort_);
    if (ready == kPollAborted) aborted_ = true;
    if (ready == 0) timedOut_ = true;
    if (ready <= 0) return false;
    const ssize_t got = ::recv(fd_.Get(), chunk, sizeof chunk, 0);
    if (got > 0) {
      buffer_.append(chunk, static_cast<std::size_t>(got));
      return true;
    }
    if (got == 0) {
      closed_ = true;
      return false;
    }
    if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return false;
  }
}

Expected<std::string> TcpConnection::ReceiveExactly(std::size_t count) {
  while (buffer_.size() - bufferPos_ < count) {
    if (!Fill()) return Fail(FillError());
  }
  std::string bytes = buffer_.substr(bufferPos_, count);
  bufferPos_ += count;
  return bytes;
}

Expected<std::string> TcpConnection::ReceiveLine(std::size_t maxBytes) {
  std::string line;
  bool any = false;
  for (;;) {
    if (bufferPos_ == buffer_.size() && !Fill()) {
      if (closed_ && any) break;
      return Fail(FillError());
    }
    any = true;
    const auto end = buffer_.find('\n', bufferPos_);
    const std::size_t stop = end == std::string::npos ? buffer_.size() : end;
    if (line.size() < maxBytes) {
      line.append(buffer_, bufferPos_, std::min(stop - bufferPos_, maxBytes - line.size()));
    }
    if (end == std::string::npos) {
      bufferPos_ = buffer_.size();
      continue;
    }
    bufferPos_ = end + 1;
    break;
  }
  // A carriage return before the line feed is not part of the line.
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}
