// HTTP, HTTPS and FTP input through libcurl: a fetching thread fills a ring that the decoder
// reads with blocking reads, and the reply's ICY metadata interval is taken from its
// headers. Every wait (for the reply, for data, inside the transfer) ends at once when the
// input is cancelled, whatever the server does.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "common/error.h"

// The environment variable that names a PEM file of certificate authorities to trust for
// HTTPS instead of the system's (tests point it at a loopback server's own certificate).
// Verification itself is never turned off.
inline constexpr const char* kCaFileVariable = "ZIMBAR_CA_FILE";

class StreamInput {
 public:
  // Connects and waits for the reply's headers (at most stallLimit). Fails with a Network
  // error whose text is fit for the user ("Cannot open URL: " and the refused connection,
  // HTTP error status or missing answer), Cancelled when stopped, Io when out of memory.
  // A stop requested on `stop` (now or later, from any thread) cancels the input: the
  // wait for the reply ends at once (Open fails), later reads return 0 and the transfer ends.
  static Expected<std::unique_ptr<StreamInput>> Open(const std::string& url, std::chrono::milliseconds stallLimit,
                                                     std::stop_token stop = {});
  // Cancels the transfer and waits for the fetching thread, which ends at once then.
  ~StreamInput();
  StreamInput(const StreamInput&) = delete;
  StreamInput& operator=(const StreamInput&) = delete;

  // Blocks until some bytes came. 0 at the end: the server closed, the stream stalled for
  // longer than the limit, or the input was cancelled. Never fails otherwise: a broken
  // connection is an end, its reason in EndReason().
  size_t Read(void* buffer, size_t bytes);
  // Makes Read return 0 at once and the transfer end at once; any thread.
  void Cancel();
  // Ends the stream as a stall does, for the reason given (the reader's verdict, such as
  // no audio for too long): Read returns 0 from now on and EndReason() says why (unless
  // it already said something, or the input was cancelled). Any thread.
  void EndWith(const std::string& reason);
  // True once Cancel ran (or the stop was requested): the input ended because it was
  // told to, not by itself.
  bool Cancelled() const { return cancelled_; }

  // The icy-metaint header's value (bytes of audio between metadata blocks), 0 when none.
  long IcyMetaInterval() const { return icyMetaInterval_; }
  // Empty while the stream runs, after the server ended it normally or after a cancel;
  // why it ended otherwise (a stall, a broken connection: curl's text).
  std::string EndReason() const;

 private:
  struct CancelOnStop {
    StreamInput* input;
    void operator()() const { input->Cancel(); }
  };

  StreamInput(std::string url, std::chrono::milliseconds stallLimit);
  void FetchMain();
  // Tells the fetching thread to end: wakes its poll and cuts its sockets, so that no
  // wait of the transfer (a reply, a closing exchange with an FTP server) goes on.
  void StopFetch();
  // curl's callbacks, with the signatures curl gives them (in the .cpp).
  struct Callbacks;

  const std::string url_;
  const std::chrono::milliseconds stallLimit_;
  void* multi_ = nullptr;  // CURLM*, made before the thread starts and cleaned up after it
  std::atomic<long> icyMetaInterval_{0};
  std::atomic<bool> cancelled_{false};
  std::atomic<bool> fetchStopped_{false};  // the transfer is to end (a cancel or a stall)

  // The transfer's sockets, cut (shutdown) by StopFetch; curl opens and closes them
  // through OpenSocket and CloseSocket under this lock, so a number is never cut after
  // it was closed (and perhaps reused by another open).
  std::mutex socketsMutex_;
  std::vector<int> sockets_;
  bool socketsCut_ = false;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<uint8_t> ring_;
  size_t head_ = 0;   // first unread byte
  size_t filled_ = 0; // unread bytes
  bool headersDone_ = false;
  bool ended_ = false;
  std::string endReason_;
  std::thread fetcher_;  // joined before the state above goes
  // Last: gone first, so that a stop requested meanwhile finds everything it touches.
  std::optional<std::stop_callback<CancelOnStop>> onStop_;
};
