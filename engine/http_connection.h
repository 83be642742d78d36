// One HTTP GET and its response body: plain http over Winsock directly (fast, see
// README), https through WinINet. Both honour a proxy and can be cut from another thread.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/http_message.h"
#include "engine/proxy_config.h"

namespace korvane::xldl {

struct NetSettings {
    std::string userAgent;
    std::string proxyOverride;  // "host:port" set through XL_SetProxy; empty: the system's
};

class HttpStream;

// Streams that a stop must cut at once; a stream is listed for its whole life.
class AbortList {
  public:
    void Add(HttpStream* stream);
    void Remove(HttpStream* stream);
    void AbortAll();
    void Reset();

  private:
    std::mutex mutex_;
    std::vector<HttpStream*> streams_;
    bool aborted_ = false;
};

class HttpStream {
  public:
    virtual ~HttpStream() = default;
    HttpStream() = default;
    HttpStream(const HttpStream&) = delete;
    HttpStream& operator=(const HttpStream&) = delete;

    const ResponseHead& Head() const { return head_; }
    // Body bytes: > 0 read, 0 at the end of the body, -1 when the connection failed or
    // the body was cut short.
    virtual long long Read(char* buffer, std::size_t size) = 0;
    // Makes a blocked Read return at once; safe from any thread.
    virtual void Abort() = 0;
    // From now on, the time this stream waits for the server to send is added to `counter`
    // as it passes (plain http; the https transport does not tell).
    void CountWaitsIn(std::atomic<std::int64_t>* microseconds) { waitCounter_ = microseconds; }

  protected:
    ResponseHead head_;
    std::atomic<std::int64_t>* waitCounter_ = nullptr;
};

// Sends GET url with the byte range [first, last] (last < 0: to the end; first < 0: no
// Range header) and reads the response head. Null with *error set on failure; `cancel`
// is watched while connecting; the stream is on `aborts` from its connection on.
std::unique_ptr<HttpStream> OpenHttp(const Url& url, std::int64_t first, std::int64_t last,
                                     const NetSettings& settings, AbortList& aborts,
                                     const std::atomic<bool>& cancel, std::string* error);

// OpenHttp, following redirects (at most kMaxRedirects): *url becomes the address that
// answered. Null with *error set on failure or a redirect without a usable Location.
std::unique_ptr<HttpStream> OpenHttpFollowingRedirects(
    Url* url, std::int64_t first, std::int64_t last, const NetSettings& settings, AbortList& aborts,
    const std::atomic<bool>& cancel, std::string* error);

// The proxy for url: the override when set, else the system's setting.
ProxyEndpoint ProxyFor(const Url& url, const NetSettings& settings);

// Winsock start-up, once per process.
bool StartNetworking();

}  // namespace korvane::xldl
