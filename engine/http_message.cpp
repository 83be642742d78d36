#include "engine/http_message.h"

#include <cstring>

namespace korvane::xldl {

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string Trim(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) {
        ++b;
    }
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) {
        --e;
    }
    return s.substr(b, e - b);
}

// Digits only, no sign, no overflow past 2^62.
bool ParseDecimal(const std::string& s, std::int64_t* value) {
    if (s.empty() || s.size() > 18) {
        return false;
    }
    std::int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + (c - '0');
    }
    *value = v;
    return true;
}

std::uint16_t DefaultPort(const std::string& scheme) {
    return scheme == "https" ? 443 : 80;
}

// Spaces and control bytes cannot travel in a request line.
std::string EscapeTarget(const std::string& target) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : target) {
        if (c <= 0x20 || c >= 0x7F) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

}  // namespace

bool ParseUrl(const std::string& text, Url* url) {
    std::size_t colon = text.find("://");
    if (colon == std::string::npos) {
        return false;
    }
    Url u;
    for (std::size_t i = 0; i < colon; ++i) {
        u.scheme += Lower(text[i]);
    }
    if (u.scheme != "http" && u.scheme != "https") {
        return false;
    }
    std::size_t authStart = colon + 3;
    std::size_t authEnd = text.find_first_of("/?#", authStart);
    if (authEnd == std::string::npos) {
        authEnd = text.size();
    }
    std::string authority = text.substr(authStart, authEnd - authStart);
    std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        authority = authority.substr(at + 1);  // credentials in URLs are not used
    }
    std::string portText;
    if (!authority.empty() && authority[0] == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string::npos) {
            return false;
        }
        u.host = authority.substr(1, close - 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':') {
                return false;
            }
            portText = authority.substr(close + 2);
        }
    } else {
        std::size_t pc = authority.find(':');
        u.host = authority.substr(0, pc);
        if (pc != std::string::npos) {
            portText = authority.substr(pc + 1);
        }
    }
    if (u.host.empty()) {
        return false;
    }
    for (char& c : u.host) {
        c = Lower(c);
    }
    u.port = DefaultPort(u.scheme);
    if (!portText.empty()) {
        std::int64_t p = 0;
        if (!ParseDecimal(portText, &p) || p == 0 || p > 65535) {
            return false;
        }
        u.port = static_cast<std::uint16_t>(p);
    }
    std::string rest = text.substr(authEnd);
    std::size_t hash = rest.find('#');
    if (hash != std::string::npos) {
        rest.resize(hash);
    }
    if (rest.empty() || rest[0] != '/') {
        rest = "/" + rest;
    }
    u.target = EscapeTarget(rest);
    *url = u;
    return true;
}

bool ResolveLocation(const Url& base, const std::string& location, Url* result) {
    std::string loc = Trim(location);
    if (loc.empty()) {
        return false;
    }
    if (loc.find("://") != std::string::npos) {
        return ParseUrl(loc, result);
    }
    if (loc.size() > 1 && loc[0] == '/' && loc[1] == '/') {
        return ParseUrl(base.scheme + ":" + loc, result);
    }
    Url u = base;
    if (loc[0] == '/') {
        u.target = loc;
    } else {
        std::string path = base.target.substr(0, base.target.find('?'));
        path.resize(path.rfind('/') + 1);
        u.target = path + loc;
    }
    std::size_t hash = u.target.find('#');
    if (hash != std::string::npos) {
        u.target.resize(hash);
    }
    u.target = EscapeTarget(u.target);
    *result = u;
    return true;
}

std::string HostHeader(const Url& url) {
    std::string host;
    if (url.host.find(':') != std::string::npos) {
        host.append(1, '[').append(url.host).append(1, ']');  // an IPv6 literal
    } else {
        host = url.host;
    }
    if (url.port != DefaultPort(url.scheme)) {
        host += ':';
        host += std::to_string(url.port);
    }
    return host;
}

std::string FormatUrl(const Url& url) {
    return url.scheme + "://" + HostHeader(url) + url.target;
}

const std::string* ResponseHead::Find(const std::string& name) const {
    for (const auto& h : headers) {
        if (EqualsNoCase(h.first, name)) {
            return &h.second;
        }
    }
    return nullptr;
}

bool ParseResponseHead(const std::string& text, ResponseHead* head) {
    ResponseHead h;
    std::size_t lineEnd = text.find('\n');
    std::string status = text.substr(0, lineEnd);
    if (status.size() < 12 || status.compare(0, 7, "HTTP/1.") != 0 || status[8] != ' ') {
        return false;
    }
    std::int64_t code = 0;
    if (!ParseDecimal(status.substr(9, 3), &code) || code < 100) {
        return false;
    }
    h.status = static_cast<int>(code);
    while (lineEnd != std::string::npos) {
        std::size_t start = lineEnd + 1;
        lineEnd = text.find('\n', start);
        std::string line = Trim(
            text.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start));
        if (line.empty()) {
            break;
        }
        std::size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) {
            return false;
        }
        h.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    }
    *head = std::move(h);
    return true;
}

std::int64_t ContentLength(const ResponseHead& head) {
    const std::string* v = head.Find("Content-Length");
    std::int64_t n = 0;
    if (v == nullptr || !ParseDecimal(*v, &n)) {
        return -1;
    }
    return n;
}

bool ParseContentRange(const std::string& value, std::int64_t* first, std::int64_t* last,
                       std::int64_t* total) {
    std::string v = Trim(value);
    if (v.size() < 6 || !EqualsNoCase(v.substr(0, 6), "bytes ")) {
        return false;
    }
    v = Trim(v.substr(6));
    std::size_t dash = v.find('-');
    std::size_t slash = v.find('/');
    if (dash == std::string::npos || slash == std::string::npos || dash > slash) {
        return false;
    }
    std::int64_t f = 0;
    std::int64_t l = 0;
    std::int64_t t = -1;
    if (!ParseDecimal(v.substr(0, dash), &f) ||
        !ParseDecimal(v.substr(dash + 1, slash - dash - 1), &l) || l < f) {
        return false;
    }
    std::string totalText = v.substr(slash + 1);
    if (totalText != "*") {
        if (!ParseDecimal(totalText, &t) || t <= l) {
            return false;
        }
    }
    *first = f;
    *last = l;
    *total = t;
    return true;
}

bool IsChunked(const ResponseHead& head) {
    const std::string* v = head.Find("Transfer-Encoding");
    if (v == nullptr) {
        return false;
    }
    std::string lower;
    for (char c : *v) {
        lower += Lower(c);
    }
    return lower.find("chunked") != std::string::npos;
}

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string BuildGetRequest(const Url& url, bool viaProxy, std::int64_t rangeFirst,
                            std::int64_t rangeLast, const std::string& userAgent) {
    std::string r = "GET ";
    r += viaProxy ? FormatUrl(url) : url.target;
    r += " HTTP/1.1\r\nHost: ";
    r += HostHeader(url);
    r += "\r\nUser-Agent: ";
    r += userAgent;
    r += "\r\nAccept: */*\r\nAccept-Encoding: identity\r\n";
    if (rangeFirst >= 0) {
        r += "Range: bytes=" + std::to_string(rangeFirst) + "-";
        if (rangeLast >= 0) {
            r += std::to_string(rangeLast);
        }
        r += "\r\n";
    }
    r += viaProxy ? "Proxy-Connection: close\r\n" : "";
    r += "Connection: close\r\n\r\n";
    return r;
}

long long ChunkedDecoder::Feed(char* data, std::size_t size) {
    std::size_t out = 0;
    std::size_t i = 0;
    while (i < size && state_ != kDone) {
        char c = data[i];
        switch (state_) {
            case kSize: {
                int digit = -1;
                if (c >= '0' && c <= '9') {
                    digit = c - '0';
                } else if (Lower(c) >= 'a' && Lower(c) <= 'f') {
                    digit = Lower(c) - 'a' + 10;
                }
                if (digit >= 0) {
                    if (++sizeDigits_ > 15) {
                        return -1;
                    }
                    remaining_ = remaining_ * 16 + static_cast<unsigned>(digit);
                } else if (sizeDigits_ == 0) {
                    return -1;
                } else if (c == ';' || c == ' ' || c == '\t') {
                    state_ = kSizeExt;
                } else if (c == '\r') {
                    state_ = kSizeLf;
                } else if (c == '\n') {
                    state_ = remaining_ == 0 ? kTrailer : kData;
                } else {
                    return -1;
                }
                ++i;
                break;
            }
            case kSizeExt:
                if (c == '\n') {
                    state_ = remaining_ == 0 ? kTrailer : kData;
                }
                ++i;
                break;
            case kSizeLf:
                if (c != '\n') {
                    return -1;
                }
                state_ = remaining_ == 0 ? kTrailer : kData;
                trailerLineLen_ = 0;
                ++i;
                break;
            case kData: {
                std::size_t n = size - i;
                if (n > remaining_) {
                    n = static_cast<std::size_t>(remaining_);
                }
                std::memmove(data + out, data + i, n);
                out += n;
                i += n;
                remaining_ -= n;
                if (remaining_ == 0) {
                    state_ = kDataCr;
                }
                break;
            }
            case kDataCr:
                if (c == '\r') {
                    state_ = kDataLf;
                } else if (c == '\n') {
                    state_ = kSize;
                    sizeDigits_ = 0;
                } else {
                    return -1;
                }
                ++i;
                break;
            case kDataLf:
                if (c != '\n') {
                    return -1;
                }
                state_ = kSize;
                sizeDigits_ = 0;
                ++i;
                break;
            case kTrailer:
                if (c == '\n') {
                    if (trailerLineLen_ == 0) {
                        state_ = kDone;
                    }
                    trailerLineLen_ = 0;
                } else if (c != '\r') {
                    ++trailerLineLen_;
                }
                ++i;
                break;
            case kDone:
                break;
        }
    }
    return static_cast<long long>(out);
}

}  // namespace korvane::xldl
