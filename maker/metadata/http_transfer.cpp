// HttpGet: one libcurl transfer driven through the multi interface, so that a cancel does
// not wait for the network.
#include "maker/metadata/http_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>

#include "common/outside_text.h"
#include "maker/metadata/cddb_reply.h"
#include "maker/metadata/metadata_text.h"
#include "maker/metadata/lookup_failure_text.h"

namespace {

// How often a running transfer looks at the cancel request.
constexpr int kCancelPollMs = 100;

struct EasyFree {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiFree {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// What the callbacks collect: the body up to its limit, and the last status line (the
// one after any redirect).
struct Collected {
  std::size_t limit = 0;
  bool tooLarge = false;
  std::string body;
  std::string statusLine;
};

std::size_t CollectBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& collected = *static_cast<Collected*>(user);
  const std::size_t bytes = size * count;
  if (collected.body.size() + bytes > collected.limit) {
    collected.tooLarge = true;
    return 0;  // ends the transfer with CURLE_WRITE_ERROR
  }
  collected.body.append(data, bytes);
  return bytes;
}

std::size_t CollectHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto& collected = *static_cast<Collected*>(user);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    std::string_view status = line.substr(0, std::min(line.size(), kCddbLineBytes));
    while (!status.empty() && (status.back() == '\n' || status.back() == '\r')) status.remove_suffix(1);
    collected.statusLine = WithoutControlChars(status);
  }
  return size * count;
}

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpTransferFault FaultOf(CURLcode code) {
  switch (code) {
    case CURLE_OK: return HttpTransferFault::None;
    case CURLE_URL_MALFORMAT: return HttpTransferFault::BadAddress;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return HttpTransferFault::NoAddress;
    case CURLE_COULDNT_CONNECT: return HttpTransferFault::CannotConnect;
    case CURLE_OPERATION_TIMEDOUT: return HttpTransferFault::TimedOut;
    default: return HttpTransferFault::Failed;
  }
}

HttpGetReply Transfer(const HttpGetRequest& request, const std::function<bool()>& cancelled) {
  HttpGetReply reply;
  InitCurlOnce();
  std::unique_ptr<CURL, EasyFree> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiFree> multi(curl_multi_init());
  if (!easy || !multi) {
    reply.fault = HttpTransferFault::NoTransfer;
    return reply;
  }
  std::unique_ptr<curl_slist, ListFree> headers;
  for (const std::string& header : request.headers) {
    curl_slist* grown = curl_slist_append(headers.get(), header.c_str());
    if (grown == nullptr) {
      reply.fault = HttpTransferFault::NoTransfer;
      return reply;
    }
    static_cast<void>(headers.release());  // the list's head, now `grown`
    headers.reset(grown);
  }
  Collected collected;
  collected.limit = request.maxBodyBytes;
  char error[CURL_ERROR_SIZE] = {};
  CURL* c = easy.get();
  curl_easy_setopt(c, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 3L);
  curl_easy_setopt(c, CURLOPT_USERAGENT, request.userAgent.c_str());
  if (headers) curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  // The limit counts the bytes as read, after any compression is undone.
  curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
  // An empty text also keeps libcurl from the environment's proxy variables.
  curl_easy_setopt(c, CURLOPT_PROXY, request.proxy.c_str());
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.timeout.count()));
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(request.deadline.count()));
  // A server that goes silent for the wait limit is given up before the deadline (the
  // limit counts in whole seconds here).
  const long silentSeconds = std::max<long>(1, static_cast<long>((request.timeout.count() + 999) / 1000));
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, silentSeconds);
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &collected);
  curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, CollectHeader);
  curl_easy_setopt(c, CURLOPT_HEADERDATA, &collected);
  if (curl_multi_add_handle(multi.get(), c) != CURLM_OK) {
    reply.fault = HttpTransferFault::NoTransfer;
    return reply;
  }

  CURLcode result = CURLE_OK;
  bool done = false;
  int running = 1;
  while (!done) {
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
      result = CURLE_OUT_OF_MEMORY;
      break;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
      if (message->msg == CURLMSG_DONE) {
        result = message->data.result;
        done = true;
      }
    }
    if (done || running == 0) break;
    if (cancelled && cancelled()) {
      curl_multi_remove_handle(multi.get(), c);
      reply.fault = HttpTransferFault::Cancelled;
      return reply;
    }
    curl_multi_poll(multi.get(), nullptr, 0, kCancelPollMs, nullptr);
  }
  curl_multi_remove_handle(multi.get(), c);
  reply.statusLine = std::move(collected.statusLine);
  reply.body = std::move(collected.body);
  if (collected.tooLarge) {
    reply.fault = HttpTransferFault::TooLarge;
    return reply;
  }
  if (result != CURLE_OK) {
    reply.fault = FaultOf(result);
    long osErrnum = 0;
    if (curl_easy_getinfo(c, CURLINFO_OS_ERRNO, &osErrnum) == CURLE_OK) reply.osErrnum = static_cast<int>(osErrnum);
    reply.detail = WithoutControlChars(error[0] != '\0' ? error : curl_easy_strerror(result));
    while (!reply.detail.empty() && reply.detail.back() == ' ') reply.detail.pop_back();
    return reply;
  }
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
  return reply;
}

}  // namespace

HttpGetReply HttpGet(const HttpGetRequest& request, const std::function<bool()>& cancelled) {
  try {
    return Transfer(request, cancelled);
  } catch (const std::exception&) {
    // Only allocation (or the caller's cancel question) can throw here.
  }
  HttpGetReply reply;
  reply.fault = HttpTransferFault::NoTransfer;
  return reply;
}

CddbResult HttpTransferFailureCode(HttpTransferFault fault) {
  switch (fault) {
    case HttpTransferFault::None: return kCddbOk;
    case HttpTransferFault::NoTransfer: return kCddbNoSockets;
    case HttpTransferFault::BadAddress: return kCddbInvalidServerUrl;
    case HttpTransferFault::NoAddress: return kCddbNoServerAddress;
    case HttpTransferFault::CannotConnect: return kCddbCannotConnect;
    case HttpTransferFault::TimedOut: return kMusicBrainzTimedOut;
    case HttpTransferFault::TooLarge: return kMusicBrainzReplyTooLarge;
    case HttpTransferFault::Cancelled: return kCddbCancelled;
    case HttpTransferFault::Failed: return kMusicBrainzTransferFailed;
  }
  return kMusicBrainzTransferFailed;
}

std::string HttpProxyUrl(const std::string& socksProxy, const std::string& httpProxy) {
  if (!socksProxy.empty()) return "socks4://" + socksProxy;
  if (!httpProxy.empty()) return "http://" + httpProxy;
  return {};
}

bool HttpServerAddressValid(std::string_view server) {
  for (std::string_view scheme : {"http://", "https://"}) {
    if (StartsWithNoCase(server, scheme) && server.size() > scheme.size()) return true;
  }
  return false;
}

std::string HttpTransferProblemText(const std::string& server, const std::string& socksProxy,
                                    const std::string& httpProxy, std::chrono::milliseconds timeout,
                                    std::chrono::milliseconds deadline, const HttpGetReply& reply,
                                    bool pastDeadline) {
  LookupFailureFacts facts;
  facts.server = server;
  facts.host = LookupServerHost(server);
  facts.proxy = !socksProxy.empty() ? socksProxy : httpProxy;
  facts.waitLimit = pastDeadline ? deadline : timeout;
  facts.errnum = reply.osErrnum;
  if (reply.fault == HttpTransferFault::Failed) facts.detail = reply.detail;
  return LookupFailureText(HttpTransferFailureCode(reply.fault), facts);
}
