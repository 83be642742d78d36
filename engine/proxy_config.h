// The proxy choice for one URL from the system's (Internet Explorer's) proxy texts.
// Portable, so the parsing is also fuzzed on the host.
#pragma once

#include <cstdint>
#include <string>

namespace korvane::xldl {

struct ProxyEndpoint {
    std::string host;  // empty: connect directly
    std::uint16_t port = 0;
};

// "host:port" -> endpoint (port 80 when none is given); false when malformed.
bool ParseProxyEndpoint(const std::string& text, ProxyEndpoint* proxy);

// proxyServer is "host:port" for every scheme or "http=h:p;https=h:p;..."; bypass is the
// ';'-separated override list with '*' wildcards and "<local>" for names without a dot.
// Answers the proxy for scheme://host, or an empty endpoint for a direct connection.
ProxyEndpoint ChooseProxy(const std::string& proxyServer, const std::string& bypass,
                          const std::string& scheme, const std::string& host);

}  // namespace korvane::xldl
