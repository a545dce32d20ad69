// HTTP and FTP input through libcurl: a fetching thread fills a ring that the decoder
// reads with blocking reads, and the reply's ICY metadata interval is taken from its
// headers.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/result.h"

class StreamInput {
 public:
  // Connects and waits for the reply's headers (at most stallLimit). Fails with a message
  // fit for the user: refused connection, HTTP error status, no answer in time.
  static Result<std::unique_ptr<StreamInput>, std::string> Open(const std::string& url,
                                                                std::chrono::milliseconds stallLimit);
  ~StreamInput();
  StreamInput(const StreamInput&) = delete;
  StreamInput& operator=(const StreamInput&) = delete;

  // Blocks until some bytes came. 0 at the end: the server closed, the stream stalled for
  // longer than the limit, or Cancel was called. Never fails otherwise: a broken
  // connection is an end, its reason in EndReason().
  size_t Read(void* buffer, size_t bytes);
  // Makes Read return 0 at once and the fetch end; any thread.
  void Cancel();

  // The icy-metaint header's value (bytes of audio between metadata blocks), 0 when none.
  long IcyMetaInterval() const { return icyMetaInterval_; }
  // Empty while the stream runs or after the server ended it normally; why it ended
  // otherwise (a stall, a broken connection: curl's text).
  std::string EndReason() const;

 private:
  StreamInput(std::string url, std::chrono::milliseconds stallLimit);
  void FetchMain();
  static size_t OnHeader(char* data, size_t size, size_t count, void* self);
  static size_t OnBody(char* data, size_t size, size_t count, void* self);
  static int OnProgress(void* self, int64_t, int64_t, int64_t, int64_t);

  const std::string url_;
  const std::chrono::milliseconds stallLimit_;
  std::atomic<long> icyMetaInterval_{0};
  std::atomic<bool> cancelled_{false};

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<uint8_t> ring_;
  size_t head_ = 0;   // first unread byte
  size_t filled_ = 0; // unread bytes
  bool headersDone_ = false;
  bool ended_ = false;
  std::string endReason_;
  std::thread fetcher_;  // last: joined before the state above goes
};
