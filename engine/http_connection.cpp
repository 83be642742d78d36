#include "engine/http_connection.h"

#include <wininet.h>
#include <ws2tcpip.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "sysutil/unique_handle.h"
#include "sysutil/utf8_text.h"

namespace korvane::xldl {

namespace {

constexpr DWORD kReceiveTimeoutMs = 30000;
constexpr int kConnectTimeoutMs = 15000;
constexpr int kSocketBufferBytes = 4 << 20;
constexpr std::size_t kMaxHeadBytes = 64 * 1024;

std::wstring Widen(const std::string& text) {
    return WideFromUtf8(text);
}

std::string ReadRegistryText(HKEY key, const wchar_t* name) {
    wchar_t buffer[2048] = {};
    DWORD type = 0;
    DWORD bytes = sizeof(buffer) - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::string();
    }
    return Utf8FromWide(buffer);
}

// Internet Explorer's per-user proxy setting, which WinINet and most programs follow.
ProxyEndpoint SystemProxyFor(const Url& url) {
    UniqueRegistryKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                      KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) {
        return {};
    }
    DWORD enabled = 0;
    DWORD type = 0;
    DWORD bytes = sizeof(enabled);
    ProxyEndpoint proxy;
    if (RegQueryValueExW(key.Get(), L"ProxyEnable", nullptr, &type,
                         reinterpret_cast<BYTE*>(&enabled), &bytes) == ERROR_SUCCESS &&
        type == REG_DWORD && enabled != 0) {
        proxy = ChooseProxy(ReadRegistryText(key.Get(), L"ProxyServer"),
                            ReadRegistryText(key.Get(), L"ProxyOverride"), url.scheme, url.host);
    }
    return proxy;
}

// Connects with a time-out, watching `cancel` every tenth of a second.
SOCKET ConnectTo(const std::string& host, std::uint16_t port, const std::atomic<bool>& cancel,
                 std::string* error) {
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        *error = "cannot resolve " + host;
        return INVALID_SOCKET;
    }
    SOCKET result = INVALID_SOCKET;
    for (addrinfo* a = found; a != nullptr && result == INVALID_SOCKET && !cancel; a = a->ai_next) {
        SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) {
            continue;
        }
        int bufferBytes = kSocketBufferBytes;
        setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bufferBytes),
                   sizeof(bufferBytes));
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        bool connected = connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0;
        if (!connected && WSAGetLastError() == WSAEWOULDBLOCK) {
            for (int waited = 0; waited < kConnectTimeoutMs && !cancel; waited += 100) {
                fd_set writable;
                fd_set failed;
                FD_ZERO(&writable);
                FD_ZERO(&failed);
                FD_SET(s, &writable);
                FD_SET(s, &failed);
                timeval step = {0, 100 * 1000};
                int ready = select(0, nullptr, &writable, &failed, &step);
                if (ready < 0 || FD_ISSET(s, &failed)) {
                    break;
                }
                if (ready > 0 && FD_ISSET(s, &writable)) {
                    int soError = 0;
                    int len = sizeof(soError);
                    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len);
                    connected = soError == 0;
                    break;
                }
            }
        }
        if (connected) {
            result = s;  // stays non-blocking: waits go through WaitReady, which can be cut
        } else {
            closesocket(s);
        }
    }
    freeaddrinfo(found);
    if (result == INVALID_SOCKET) {
        *error = cancel ? "cancelled" : "cannot connect to " + host;
    }
    return result;
}

// The socket is non-blocking; a read or write that would block waits here in short steps,
// so Abort() is seen within a tenth of a second. (Wine's shutdown() does not wake a
// blocked recv, and a receive time-out leaves a Windows socket unusable.)
class SocketStream : public HttpStream {
  public:
    SocketStream(SOCKET s, AbortList& aborts) : socket_(s), aborts_(aborts) { aborts_.Add(this); }
    ~SocketStream() override {
        aborts_.Remove(this);
        closesocket(socket_);
    }

    bool SendAll(const std::string& data) {
        std::size_t sent = 0;
        while (sent < data.size()) {
            int n = send(socket_, data.data() + sent, static_cast<int>(data.size() - sent), 0);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
                if (!WaitReady(false)) {
                    return false;
                }
            } else {
                return false;
            }
        }
        return true;
    }

    // recv that waits for data; -1 on error, time-out or abort, 0 when the peer closed.
    int Receive(char* buffer, int size) {
        for (;;) {
            int n = recv(socket_, buffer, size, 0);
            if (n >= 0) {
                return n;
            }
            if (WSAGetLastError() != WSAEWOULDBLOCK || !WaitReady(true)) {
                return -1;
            }
        }
    }

    bool ReadHead(std::string* error) {
        std::vector<char> buffer(16 * 1024);
        std::string head;
        for (;;) {
            int n = Receive(buffer.data(), static_cast<int>(buffer.size()));
            if (n <= 0) {
                *error = "connection closed before the response head";
                return false;
            }
            head.append(buffer.data(), static_cast<std::size_t>(n));
            std::size_t end = head.find("\r\n\r\n");
            std::size_t sepLen = 4;
            if (end == std::string::npos) {
                end = head.find("\n\n");
                sepLen = 2;
            }
            if (end != std::string::npos) {
                pending_ = head.substr(end + sepLen);
                head.resize(end + sepLen);
                break;
            }
            if (head.size() > kMaxHeadBytes) {
                *error = "response head too long";
                return false;
            }
        }
        if (!ParseResponseHead(head, &head_)) {
            *error = "malformed response head";
            return false;
        }
        chunked_ = IsChunked(head_);
        remaining_ = chunked_ ? -1 : ContentLength(head_);
        if (head_.status == 204 || head_.status == 304) {
            remaining_ = 0;
        }
        return true;
    }

    long long Read(char* buffer, std::size_t size) override {
        for (;;) {
            if (remaining_ == 0 || (chunked_ && decoder_.Done())) {
                return 0;
            }
            if (remaining_ > 0 && static_cast<std::int64_t>(size) > remaining_) {
                size = static_cast<std::size_t>(remaining_);
            }
            std::size_t got = 0;
            if (!pending_.empty()) {
                got = std::min(size, pending_.size());
                std::memcpy(buffer, pending_.data(), got);
                pending_.erase(0, got);
            } else {
                int want = static_cast<int>(std::min<std::size_t>(size, 1 << 30));
                int n = Receive(buffer, want);
                if (n < 0) {
                    return -1;
                }
                if (n == 0) {
                    // Without a length the body ends with the connection.
                    return (remaining_ < 0 && !chunked_) ? 0 : -1;
                }
                got = static_cast<std::size_t>(n);
            }
            if (chunked_) {
                long long payload = decoder_.Feed(buffer, got);
                if (payload < 0) {
                    return -1;
                }
                if (payload == 0) {
                    continue;
                }
                return payload;
            }
            if (remaining_ > 0) {
                remaining_ -= static_cast<std::int64_t>(got);
            }
            return static_cast<long long>(got);
        }
    }

    void Abort() override { aborted_ = true; }

  private:
    bool WaitReady(bool forRead) {
        for (DWORD waited = 0; waited < kReceiveTimeoutMs; waited += 100) {
            if (aborted_) {
                return false;
            }
            fd_set set;
            FD_ZERO(&set);
            FD_SET(socket_, &set);
            timeval step = {0, 100 * 1000};
            auto started = std::chrono::steady_clock::now();
            int ready = forRead ? select(0, &set, nullptr, nullptr, &step)
                                : select(0, nullptr, &set, nullptr, &step);
            if (waitCounter_ != nullptr) {
                *waitCounter_ += std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - started)
                                     .count();
            }
            if (ready != 0) {
                return ready > 0 && !aborted_;
            }
        }
        return false;  // the server stalled
    }

    SOCKET socket_;
    std::atomic<bool> aborted_{false};
    AbortList& aborts_;
    std::string pending_;
    bool chunked_ = false;
    ChunkedDecoder decoder_;
    std::int64_t remaining_ = -1;
};

// https: WinINet does the TLS (Schannel); our code keeps the ranges and redirects.
class WinInetStream : public HttpStream {
  public:
    explicit WinInetStream(AbortList& aborts) : aborts_(aborts) { aborts_.Add(this); }
    ~WinInetStream() override {
        aborts_.Remove(this);
        CloseAll();
    }

    bool Open(const Url& url, std::int64_t first, std::int64_t last, const NetSettings& settings,
              std::string* error) {
        ProxyEndpoint proxy = ProxyFor(url, settings);
        std::wstring agent = Widen(settings.userAgent);
        std::wstring proxyName = Widen(proxy.host + ":" + std::to_string(proxy.port));
        HINTERNET root =
            proxy.host.empty()
                ? InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)
                : InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxyName.c_str(),
                                L"<local>", 0);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            root_.Reset(root);
        }
        if (root == nullptr) {
            *error = "WinINet unavailable";
            return false;
        }
        DWORD timeout = kReceiveTimeoutMs;
        InternetSetOptionW(root, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof(timeout));
        InternetSetOptionW(root, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
        HINTERNET connection = InternetConnectW(root, Widen(url.host).c_str(), url.port, nullptr,
                                                nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        if (connection == nullptr) {
            *error = "cannot connect to " + url.host;
            return false;
        }
        DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                      INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES |
                      INTERNET_FLAG_NO_UI;
        if (url.scheme == "https") {
            flags |= INTERNET_FLAG_SECURE;
        }
        request_ = HttpOpenRequestW(connection, L"GET", Widen(url.target).c_str(), nullptr, nullptr,
                                    nullptr, flags, 0);
        if (request_ == nullptr) {
            *error = "cannot open request";
            return false;
        }
        std::string extra = "Accept-Encoding: identity\r\n";
        if (first >= 0) {
            extra += "Range: bytes=" + std::to_string(first) + "-" +
                     (last >= 0 ? std::to_string(last) : std::string()) + "\r\n";
        }
        std::wstring headers = Widen(extra);
        if (!HttpSendRequestW(request_, headers.c_str(), static_cast<DWORD>(headers.size()),
                              nullptr, 0)) {
            *error = "request failed";
            return false;
        }
        std::vector<char> raw(32 * 1024);
        DWORD size = static_cast<DWORD>(raw.size());
        if (!HttpQueryInfoA(request_, HTTP_QUERY_RAW_HEADERS_CRLF, raw.data(), &size, nullptr) ||
            !ParseResponseHead(std::string(raw.data(), size), &head_)) {
            *error = "malformed response head";
            return false;
        }
        return true;
    }

    long long Read(char* buffer, std::size_t size) override {
        if (aborted_) {
            return -1;
        }
        DWORD got = 0;
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 20));
        if (!InternetReadFile(request_, buffer, want, &got)) {
            return -1;
        }
        return static_cast<long long>(got);
    }

    void Abort() override {
        aborted_ = true;
        CloseAll();
    }

  private:
    // Closing the session closes the connection and the request beneath it too.
    void CloseAll() {
        std::lock_guard<std::mutex> lock(mutex_);
        root_.Reset();
    }

    AbortList& aborts_;
    std::mutex mutex_;
    UniqueInternetHandle root_;
    HINTERNET request_ = nullptr;  // beneath root_: closed with it
    std::atomic<bool> aborted_{false};
};

}  // namespace

void AbortList::Add(HttpStream* stream) {
    std::lock_guard<std::mutex> lock(mutex_);
    streams_.push_back(stream);
    if (aborted_) {
        stream->Abort();
    }
}

void AbortList::Remove(HttpStream* stream) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < streams_.size(); ++i) {
        if (streams_[i] == stream) {
            streams_.erase(streams_.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
}

void AbortList::AbortAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    aborted_ = true;
    for (HttpStream* s : streams_) {
        s->Abort();
    }
}

void AbortList::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    aborted_ = false;
}

bool StartNetworking() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

ProxyEndpoint ProxyFor(const Url& url, const NetSettings& settings) {
    if (!settings.proxyOverride.empty()) {
        ProxyEndpoint p;
        if (ParseProxyEndpoint(settings.proxyOverride, &p)) {
            return p;
        }
    }
    return SystemProxyFor(url);
}

std::unique_ptr<HttpStream> OpenHttp(const Url& url, std::int64_t first, std::int64_t last,
                                     const NetSettings& settings, AbortList& aborts,
                                     const std::atomic<bool>& cancel, std::string* error) {
    if (url.scheme == "https") {
        auto stream = std::make_unique<WinInetStream>(aborts);
        if (!stream->Open(url, first, last, settings, error)) {
            return nullptr;
        }
        return stream;
    }
    if (!StartNetworking()) {
        *error = "Winsock unavailable";
        return nullptr;
    }
    ProxyEndpoint proxy = ProxyFor(url, settings);
    bool viaProxy = !proxy.host.empty();
    SOCKET s = viaProxy ? ConnectTo(proxy.host, proxy.port, cancel, error)
                        : ConnectTo(url.host, url.port, cancel, error);
    if (s == INVALID_SOCKET) {
        return nullptr;
    }
    auto stream = std::make_unique<SocketStream>(s, aborts);
    if (!stream->SendAll(BuildGetRequest(url, viaProxy, first, last, settings.userAgent))) {
        *error = "cannot send the request";
        return nullptr;
    }
    if (!stream->ReadHead(error)) {
        return nullptr;
    }
    return stream;
}

std::unique_ptr<HttpStream> OpenHttpFollowingRedirects(
    Url* url, std::int64_t first, std::int64_t last, const NetSettings& settings, AbortList& aborts,
    const std::atomic<bool>& cancel, std::string* error) {
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        auto stream = OpenHttp(*url, first, last, settings, aborts, cancel, error);
        if (!stream || !IsRedirect(stream->Head().status)) {
            return stream;
        }
        const std::string* location = stream->Head().Find("Location");
        Url next;
        if (location == nullptr || !ResolveLocation(*url, *location, &next)) {
            *error = "redirect without a usable Location";
            return nullptr;
        }
        *url = next;
    }
    *error = "too many redirects";
    return nullptr;
}

}  // namespace korvane::xldl
