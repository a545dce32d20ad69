// StreamInput over libcurl's easy interface on a thread of its own.
#include "outside/zbdecode/stream_input.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <strings.h>

namespace {

constexpr size_t kRingBytes = 256 * 1024;

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
    : url_(std::move(url)), stallLimit_(stallLimit), ring_(kRingBytes) {}

StreamInput::~StreamInput() {
  Cancel();
  if (fetcher_.joinable()) fetcher_.join();
}

Result<std::unique_ptr<StreamInput>, std::string> StreamInput::Open(const std::string& url,
                                                                    std::chrono::milliseconds stallLimit) {
  InitCurlOnce();
  std::unique_ptr<StreamInput> input(new StreamInput(url, stallLimit));
  input->fetcher_ = std::thread(&StreamInput::FetchMain, input.get());
  std::unique_lock lock(input->mutex_);
  const bool answered = input->changed_.wait_for(lock, stallLimit, [&] { return input->headersDone_ || input->ended_; });
  if (!answered) {
    lock.unlock();
    return Fail("Cannot open " + url + ": no answer within " + std::to_string(stallLimit.count() / 1000.0).substr(0, 4) +
                " s");
  }
  if (!input->headersDone_ && input->filled_ == 0) {
    const std::string reason = input->endReason_;
    lock.unlock();
    return Fail("Cannot open " + url + ": " + (reason.empty() ? std::string("the server sent no data") : reason));
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
    cancelled_ = true;  // the fetch ends too
    changed_.notify_all();
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

size_t StreamInput::OnHeader(char* data, size_t size, size_t count, void* self) {
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

size_t StreamInput::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* input = static_cast<StreamInput*>(self);
  const size_t bytes = size * count;
  std::unique_lock lock(input->mutex_);
  input->headersDone_ = true;
  size_t done = 0;
  while (done < bytes) {
    input->changed_.wait(lock, [&] { return input->filled_ < input->ring_.size() || input->cancelled_; });
    if (input->cancelled_) return 0;  // ends the transfer
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

int StreamInput::OnProgress(void* self, int64_t, int64_t, int64_t, int64_t) {
  return static_cast<StreamInput*>(self)->cancelled_ ? 1 : 0;
}

void StreamInput::FetchMain() {
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  std::unique_ptr<curl_slist, SlistDeleter> headers(curl_slist_append(nullptr, "Icy-MetaData: 1"));
  // curl 7.88 takes a SHOUTcast "ICY 200 OK" status line only when it is listed here.
  std::unique_ptr<curl_slist, SlistDeleter> aliases(curl_slist_append(nullptr, "ICY 200 OK"));
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
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(stallLimit_.count()));
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &StreamInput::OnHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &StreamInput::OnBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &StreamInput::OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);
    result = curl_easy_perform(c);
  }
  std::lock_guard lock(mutex_);
  if (endReason_.empty() && !cancelled_) {
    // A transfer the server ended normally leaves the reason empty.
    if (result != CURLE_OK) endReason_ = error[0] != '\0' ? error : curl_easy_strerror(result);
  }
  ended_ = true;
  changed_.notify_all();
}
