// The libcurl entry points the programs use, loaded on their first call instead of when
// the program starts: libcurl and the TLS, Kerberos and LDAP libraries behind it cost
// more to load than a short conversion takes, and only network lookups and streams need
// them. Each entry forwards to libcurl's own; when libcurl cannot be loaded, the calls
// fail as libcurl's fail when it cannot start (CURLE_FAILED_INIT, null handles), and the
// error texts say why.
//
// The definitions are hidden: they serve the library or program they are linked into
// and never stand in for libcurl's own symbols elsewhere.
#define CURL_DISABLE_TYPECHECK 1
#pragma GCC visibility push(hidden)
#include <curl/curl.h>
#pragma GCC visibility pop

#include <dlfcn.h>

#include <cstdarg>
#include <mutex>
#include <string>

#include "common/library_loader.h"

namespace {

constexpr const char* kLibrary = "libcurl.so.4";

struct Curl {
  void* handle = nullptr;
  std::string error;
  decltype(&curl_global_init) globalInit = nullptr;
  decltype(&curl_easy_init) easyInit = nullptr;
  decltype(&curl_easy_cleanup) easyCleanup = nullptr;
  CURLcode (*easySetopt)(CURL*, CURLoption, ...) = nullptr;
  CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...) = nullptr;
  decltype(&curl_easy_strerror) easyStrerror = nullptr;
  decltype(&curl_multi_init) multiInit = nullptr;
  decltype(&curl_multi_cleanup) multiCleanup = nullptr;
  decltype(&curl_multi_add_handle) multiAddHandle = nullptr;
  decltype(&curl_multi_remove_handle) multiRemoveHandle = nullptr;
  decltype(&curl_multi_perform) multiPerform = nullptr;
  decltype(&curl_multi_poll) multiPoll = nullptr;
  decltype(&curl_multi_wakeup) multiWakeup = nullptr;
  decltype(&curl_multi_info_read) multiInfoRead = nullptr;
  decltype(&curl_multi_strerror) multiStrerror = nullptr;
  decltype(&curl_slist_append) slistAppend = nullptr;
  decltype(&curl_slist_free_all) slistFreeAll = nullptr;

  bool Loaded() const { return handle != nullptr; }
};

template <typename Fn>
bool Find(void* handle, const char* name, Fn& entry) {
  entry = reinterpret_cast<Fn>(::dlsym(handle, name));
  return entry != nullptr;
}

// libcurl, loaded once for the life of the process (never unloaded: its handles may
// outlive any one user).
const Curl& Library() {
  static const Curl curl = [] {
    Curl c;
    std::string reason;
    void* handle = LoadForGood(kLibrary, reason);
    if (handle == nullptr) {
      c.error = "the network library cannot be loaded: ";
      c.error += kLibrary;
      c.error += ": ";
      c.error += reason;
      return c;
    }
    const bool all = Find(handle, "curl_global_init", c.globalInit) && Find(handle, "curl_easy_init", c.easyInit) &&
                     Find(handle, "curl_easy_cleanup", c.easyCleanup) &&
                     Find(handle, "curl_easy_setopt", c.easySetopt) &&
                     Find(handle, "curl_easy_getinfo", c.easyGetinfo) &&
                     Find(handle, "curl_easy_strerror", c.easyStrerror) &&
                     Find(handle, "curl_multi_init", c.multiInit) &&
                     Find(handle, "curl_multi_cleanup", c.multiCleanup) &&
                     Find(handle, "curl_multi_add_handle", c.multiAddHandle) &&
                     Find(handle, "curl_multi_remove_handle", c.multiRemoveHandle) &&
                     Find(handle, "curl_multi_perform", c.multiPerform) &&
                     Find(handle, "curl_multi_poll", c.multiPoll) &&
                     Find(handle, "curl_multi_wakeup", c.multiWakeup) &&
                     Find(handle, "curl_multi_info_read", c.multiInfoRead) &&
                     Find(handle, "curl_multi_strerror", c.multiStrerror) &&
                     Find(handle, "curl_slist_append", c.slistAppend) &&
                     Find(handle, "curl_slist_free_all", c.slistFreeAll);
    if (!all) {
      c.error = "the network library ";
      c.error += kLibrary;
      c.error += " lacks an entry the program needs (it is older than 7.68)";
      return c;
    }
    c.handle = handle;
    return c;
  }();
  return curl;
}

}  // namespace

// Every entry is made from the program's own threads after main began, so the loader's
// one-time initialisation (a function-local static) is thread-safe.

CURLcode curl_global_init(long flags) {
  const Curl& c = Library();
  return c.Loaded() ? c.globalInit(flags) : CURLE_FAILED_INIT;
}

CURL* curl_easy_init() {
  const Curl& c = Library();
  return c.Loaded() ? c.easyInit() : nullptr;
}

void curl_easy_cleanup(CURL* easy) {
  if (easy != nullptr) Library().easyCleanup(easy);
}

// The option's number tells the type of its one argument (libcurl's own scheme: the
// thousands of ten select long, pointer, function pointer, curl_off_t or blob).
CURLcode curl_easy_setopt(CURL* easy, CURLoption option, ...) {
  const Curl& c = Library();
  if (!c.Loaded() || easy == nullptr) return CURLE_FAILED_INIT;
  va_list arguments;
  va_start(arguments, option);
  CURLcode result;
  if (option < CURLOPTTYPE_OBJECTPOINT) {
    result = c.easySetopt(easy, option, va_arg(arguments, long));
  } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
    result = c.easySetopt(easy, option, va_arg(arguments, void*));
  } else if (option < CURLOPTTYPE_OFF_T) {
    using AnyFunction = void (*)();
    result = c.easySetopt(easy, option, va_arg(arguments, AnyFunction));
  } else if (option < CURLOPTTYPE_BLOB) {
    result = c.easySetopt(easy, option, va_arg(arguments, curl_off_t));
  } else {
    result = c.easySetopt(easy, option, va_arg(arguments, void*));
  }
  va_end(arguments);
  return result;
}

// Every information item is delivered through a pointer.
CURLcode curl_easy_getinfo(CURL* easy, CURLINFO info, ...) {
  const Curl& c = Library();
  if (!c.Loaded() || easy == nullptr) return CURLE_FAILED_INIT;
  va_list arguments;
  va_start(arguments, info);
  void* where = va_arg(arguments, void*);
  va_end(arguments);
  return c.easyGetinfo(easy, info, where);
}

const char* curl_easy_strerror(CURLcode code) {
  const Curl& c = Library();
  return c.Loaded() ? c.easyStrerror(code) : c.error.c_str();
}

CURLM* curl_multi_init() {
  const Curl& c = Library();
  return c.Loaded() ? c.multiInit() : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
  const Curl& c = Library();
  return c.Loaded() ? c.multiCleanup(multi) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* easy) {
  const Curl& c = Library();
  return c.Loaded() ? c.multiAddHandle(multi, easy) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* easy) {
  const Curl& c = Library();
  return c.Loaded() ? c.multiRemoveHandle(multi, easy) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_perform(CURLM* multi, int* running) {
  const Curl& c = Library();
  return c.Loaded() ? c.multiPerform(multi, running) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd extra[], unsigned int count, int timeoutMs, int* ready) {
  const Curl& c = Library();
  return c.Loaded() ? c.multiPoll(multi, extra, count, timeoutMs, ready) : CURLM_BAD_HANDLE;
}

CURLMcode curl_multi_wakeup(CURLM* multi) {
  const Curl& c = Library();
  return c.Loaded() ? c.multiWakeup(multi) : CURLM_BAD_HANDLE;
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* left) {
  const Curl& c = Library();
  if (!c.Loaded()) {
    if (left != nullptr) *left = 0;
    return nullptr;
  }
  return c.multiInfoRead(multi, left);
}

const char* curl_multi_strerror(CURLMcode code) {
  const Curl& c = Library();
  return c.Loaded() ? c.multiStrerror(code) : c.error.c_str();
}

curl_slist* curl_slist_append(curl_slist* list, const char* text) {
  const Curl& c = Library();
  return c.Loaded() ? c.slistAppend(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list) {
  if (list != nullptr) Library().slistFreeAll(list);
}
