// StreamInput over libcurl's multi interface on a thread of its own: the thread waits in
// curl_multi_poll, which curl_multi_wakeup ends at once, so a cancel never waits for the
// server (curl's progress callback would run only about once a second while nothing
// arrives).
#include "outside/zbdecode/stream_input.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

constexpr size_t kRingBytes = 256 * 1024;
// The longest single wait of the fetching thread when curl has no timer due sooner; a
// cancel or a stall wakes it earlier.
constexpr int kPollMs = 1000;

void InitCurlOnce() {
  static const bool done = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    return true;
  }();
  (void)done;
}

struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct CurlDeleter {
  void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

}  // namespace

StreamInput::StreamInput(std::string url, std::chrono::milliseconds stallLimit)
    : url_(std::move(url)), stallLimit_(stallLimit), multi_(curl_multi_init()), ring_(kRingBytes) {}

StreamInput::~StreamInput() {
  // A stop requested from now on finds nothing to do; one under way finishes first.
  onStop_.reset();
  Cancel();
  if (fetcher_.joinable()) fetcher_.join();
  // Closes what curl still keeps open (its sockets are cut already: no closing exchange).
  if (multi_ != nullptr) curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

namespace {

// "Cannot open URL: REASON", of `category`, with the reason apart.
Error OpenFailure(ErrorCategory category, const std::string& url, const std::string& reason) {
  Error error(category, {}, "Cannot open " + url + ": " + reason, reason, url);
  if (category == ErrorCategory::Io) error.errnum = ENOMEM;
  return error;
}

}  // namespace

Expected<std::unique_ptr<StreamInput>> StreamInput::Open(const std::string& url, std::chrono::milliseconds stallLimit,
                                                         std::stop_token stop) {
  InitCurlOnce();
  std::unique_ptr<StreamInput> input(new StreamInput(url, stallLimit));
  if (input->multi_ == nullptr) return Fail(OpenFailure(ErrorCategory::Io, url, "out of memory"));
  // Runs Cancel at once when the stop was requested already.
  input->onStop_.emplace(std::move(stop), CancelOnStop{input.get()});
  input->fetcher_ = std::thread(&StreamInput::FetchMain, input.get());
  std::unique_lock lock(input->mutex_);
  const bool answered = input->changed_.wait_for(
      lock, stallLimit, [&] { return input->headersDone_ || input->ended_ || input->cancelled_; });
  if (input->cancelled_) {
    lock.unlock();
    return Fail(OpenFailure(ErrorCategory::Cancelled, url, "stopped"));
  }
  if (!answered) {
    lock.unlock();
    return Fail(OpenFailure(ErrorCategory::Network, url,
                            "no answer within " + std::to_string(stallLimit.count() / 1000.0).substr(0, 4) + " s"));
  }
  if (!input->headersDone_ && input->filled_ == 0) {
    const std::string reason = input->endReason_;
    lock.unlock();
    return Fail(OpenFailure(ErrorCategory::Network, url, reason.empty() ? std::string("the server sent no data") : reason));
  }
  lock.unlock();
  return input;
}

void StreamInput::Cancel() {
  {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
  }
  changed_.notify_all();
  StopFetch();
}

void StreamInput::StopFetch() {
  {
    // Set under the lock a body callback waits with, so that its wake-up is not lost.
    std::lock_guard lock(mutex_);
    fetchStopped_ = true;
  }
  changed_.notify_all();
  {
    std::lock_guard lock(socketsMutex_);
    socketsCut_ = true;
    for (int socket : sockets_) ::shutdown(socket, SHUT_RDWR);
  }
  curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

void StreamInput::EndWith(const std::string& reason) {
  {
    std::lock_guard lock(mutex_);
    if (endReason_.empty() && !cancelled_) endReason_ = reason;
    ended_ = true;
  }
  changed_.notify_all();
  StopFetch();
}

std::string StreamInput::EndReason() const {
  std::lock_guard lock(mutex_);
  return endReason_;
}

size_t StreamInput::Read(void* buffer, size_t bytes) {
  std::unique_lock lock(mutex_);
  const bool ready =
      changed_.wait_for(lock, stallLimit_, [this] { return filled_ > 0 || ended_ || cancelled_; });
  if (cancelled_) return 0;
  if (!ready) {
    if (endReason_.empty()) endReason_ = "the stream stalled for " + std::to_string(stallLimit_.count()) + " ms";
    ended_ = true;
    lock.unlock();
    StopFetch();  // the transfer ends too
    return 0;
  }
  size_t done = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  while (done < bytes && filled_ > 0) {
    const size_t run = std::min({bytes - done, filled_, ring_.size() - head_});
    std::memcpy(out + done, ring_.data() + head_, run);
    head_ = (head_ + run) % ring_.size();
    filled_ -= run;
    done += run;
  }
  changed_.notify_all();
  return done;
}

struct StreamInput::Callbacks {
  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* input = static_cast<StreamInput*>(self);
    const std::string line(data, size * count);
    // A new status line starts a new reply (after a redirect): its headers count alone.
    if (line.rfind("HTTP/", 0) == 0 || line.rfind("ICY ", 0) == 0) input->icyMetaInterval_ = 0;
    if (strncasecmp(line.c_str(), "icy-metaint:", 12) == 0) {
      const long interval = std::strtol(line.c_str() + 12, nullptr, 10);
      input->icyMetaInterval_ = interval > 0 && interval < (1 << 24) ? interval : 0;
    }
    return size * count;
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    auto* input = static_cast<StreamInput*>(self);
    const size_t bytes = size * count;
    std::unique_lock lock(input->mutex_);
    input->headersDone_ = true;
    size_t done = 0;
    while (done < bytes) {
      // A reader that does not keep up holds the transfer here; a cancel or a stall lets it go.
      input->changed_.wait(lock, [&] { return input->filled_ < input->ring_.size() || input->fetchStopped_; });
      if (input->fetchStopped_) return 0;  // ends the transfer
      const size_t tail = (input->head_ + input->filled_) % input->ring_.size();
      const size_t run =
          std::min({bytes - done, input->ring_.size() - input->filled_, input->ring_.size() - tail});
      std::memcpy(input->ring_.data() + tail, data + done, run);
      input->filled_ += run;
      done += run;
      input->changed_.notify_all();
    }
    return bytes;
  }

  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<StreamInput*>(self)->fetchStopped_ ? 1 : 0;
  }

  static curl_socket_t OpenSocket(void* self, curlsocktype, curl_sockaddr* address) {
    auto* input = static_cast<StreamInput*>(self);
    std::lock_guard lock(input->socketsMutex_);
    if (input->socketsCut_) return CURL_SOCKET_BAD;
    const int socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (socket >= 0) input->sockets_.push_back(socket);
    return socket < 0 ? CURL_SOCKET_BAD : socket;
  }

  static int CloseSocket(void* self, curl_socket_t socket) {
    auto* input = static_cast<StreamInput*>(self);
    std::lock_guard lock(input->socketsMutex_);
    input->sockets_.erase(std::remove(input->sockets_.begin(), input->sockets_.end(), socket), input->sockets_.end());
    return ::close(socket);
  }
};

void StreamInput::FetchMain() {
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  std::unique_ptr<curl_slist, SlistDeleter> headers(curl_slist_append(nullptr, "Icy-MetaData: 1"));
  // curl 7.88 takes a SHOUTcast "ICY 200 OK" status line only when it is listed here.
  std::unique_ptr<curl_slist, SlistDeleter> aliases(curl_slist_append(nullptr, "ICY 200 OK"));
  auto* multi = static_cast<CURLM*>(multi_);
  char error[CURL_ERROR_SIZE] = "";
  CURLcode result = CURLE_FAILED_INIT;
  if (curl && headers && aliases) {
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_HTTP200ALIASES, aliases.get());
    curl_easy_setopt(c, CURLOPT_USERAGENT, "zbplayer");
    // HTTPS is verified against the system's authorities, or against those of the file
    // the environment names (tests: a loopback server's own certificate).
    if (const char* authorities = std::getenv(kCaFileVariable); authorities != nullptr && *authorities != '\0') {
      curl_easy_setopt(c, CURLOPT_CAINFO, authorities);
    }
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(stallLimit_.count()));
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &Callbacks::OnHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Callbacks::OnBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Callbacks::OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, &Callbacks::OpenSocket);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, &Callbacks::CloseSocket);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, this);
    // A name still being looked up when the transfer ends is left to its resolver thread
    // (curl 7.87 and later) instead of being waited for.
    curl_easy_setopt(c, CURLOPT_QUICK_EXIT, 1L);
    if (curl_multi_add_handle(multi, c) == CURLM_OK) {
      bool done = false;
      while (!done && !fetchStopped_) {
        int running = 0;
        const CURLMcode performed = curl_multi_perform(multi, &running);
        if (performed != CURLM_OK) {
          std::snprintf(error, sizeof error, "%s", curl_multi_strerror(performed));
          break;
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
          if (message->msg == CURLMSG_DONE && message->easy_handle == c) {
            result = message->data.result;
            done = true;
          }
        }
        if (done || running == 0) break;
        // Returns when a socket is ready, a timer of curl's is due, or StopFetch woke it.
        curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
      }
      if (!done && result == CURLE_FAILED_INIT) result = fetchStopped_ ? CURLE_ABORTED_BY_CALLBACK : CURLE_RECV_ERROR;
      curl_multi_remove_handle(multi, c);
    }
  }
  std::lock_guard lock(mutex_);
  if (endReason_.empty() && !cancelled_ && !fetchStopped_) {
    // A transfer the server ended normally leaves the reason empty.
    if (result != CURLE_OK) endReason_ = error[0] != '\0' ? error : curl_easy_strerror(result);
  }
  ended_ = true;
  changed_.notify_all();
}
