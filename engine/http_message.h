// The text side of HTTP/1.1: URLs, request lines and response heads. Portable (no Win32),
// so it is also built on the host and fuzzed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane::xldl {

struct Url {
    std::string scheme;  // "http" or "https", lower case
    std::string host;    // without brackets
    std::uint16_t port = 0;
    std::string target;  // path and query, starts with "/"
};

// Parses an absolute http(s) URL. Fragments are dropped, spaces in the path are escaped.
bool ParseUrl(const std::string& text, Url* url);
// A Location value against the URL that answered with it (absolute, "//host/...", "/path"
// or a relative path).
bool ResolveLocation(const Url& base, const std::string& location, Url* result);
std::string FormatUrl(const Url& url);
// "host" or "host:port" when the port is not the scheme's default.
std::string HostHeader(const Url& url);

struct ResponseHead {
    int status = 0;
    std::vector<std::pair<std::string, std::string>> headers;  // names as sent
    // Looks a header up by name, case-insensitively; empty when absent.
    const std::string* Find(const std::string& name) const;
};

// Parses "HTTP/1.x NNN reason" and the header lines up to the blank line. `text` holds
// the head without the final blank line or with it.
bool ParseResponseHead(const std::string& text, ResponseHead* head);

// Content-Length, or -1 when absent or malformed.
std::int64_t ContentLength(const ResponseHead& head);
// "bytes first-last/total" -> first, last (inclusive) and total (-1 for "*").
bool ParseContentRange(const std::string& value, std::int64_t* first, std::int64_t* last,
                       std::int64_t* total);
bool IsChunked(const ResponseHead& head);
bool IsRedirect(int status);
// How many redirects one request follows before it gives up.
inline constexpr int kMaxRedirects = 10;

// A GET for url.target (or the absolute URL when going through a proxy) with an optional
// byte range; rangeLast < 0 asks for everything from rangeFirst on.
std::string BuildGetRequest(const Url& url, bool viaProxy, std::int64_t rangeFirst,
                            std::int64_t rangeLast, const std::string& userAgent);

// Chunked transfer decoding, fed with raw body bytes, producing payload bytes in place.
class ChunkedDecoder {
  public:
    // Decodes data[0..size) in place; returns the payload byte count now at the front of
    // data, or -1 on malformed framing. Done() turns true after the last chunk.
    long long Feed(char* data, std::size_t size);
    bool Done() const { return state_ == kDone; }

  private:
    enum State { kSize, kSizeExt, kSizeLf, kData, kDataCr, kDataLf, kTrailer, kDone };
    State state_ = kSize;
    std::uint64_t remaining_ = 0;
    int sizeDigits_ = 0;
    int trailerLineLen_ = 0;
};

}  // namespace korvane::xldl
