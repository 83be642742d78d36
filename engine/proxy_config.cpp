#include "engine/proxy_config.h"

#include <vector>

namespace korvane::xldl {

namespace {

std::string LowerTrim(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == ' ' || c == '\t') {
            continue;
        }
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= s.size()) {
        std::size_t end = s.find(sep, start);
        if (end == std::string::npos) {
            end = s.size();
        }
        parts.push_back(s.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool WildcardMatch(const char* pattern, const char* text) {
    // Iterative '*' matching with one back-track point: linear enough for host names.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*text != '\0') {
        if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (*pattern == *text) {
            ++pattern;
            ++text;
        } else if (star != nullptr) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') {
        ++pattern;
    }
    return *pattern == '\0';
}

}  // namespace

bool ParseProxyEndpoint(const std::string& text, ProxyEndpoint* proxy) {
    std::string t = LowerTrim(text);
    std::size_t scheme = t.find("://");
    if (scheme != std::string::npos) {
        t = t.substr(scheme + 3);
    }
    while (!t.empty() && t.back() == '/') {
        t.pop_back();
    }
    ProxyEndpoint p;
    std::size_t colon = t.rfind(':');
    p.host = t.substr(0, colon);
    p.port = 80;
    if (colon != std::string::npos) {
        std::string port = t.substr(colon + 1);
        if (port.empty() || port.size() > 5) {
            return false;
        }
        unsigned v = 0;
        for (char c : port) {
            if (c < '0' || c > '9') {
                return false;
            }
            v = v * 10 + static_cast<unsigned>(c - '0');
        }
        if (v == 0 || v > 65535) {
            return false;
        }
        p.port = static_cast<std::uint16_t>(v);
    }
    if (p.host.empty() || p.host.find_first_of("/;=") != std::string::npos) {
        return false;
    }
    *proxy = p;
    return true;
}

ProxyEndpoint ChooseProxy(const std::string& proxyServer, const std::string& bypass,
                          const std::string& scheme, const std::string& host) {
    std::string h = LowerTrim(host);
    for (const std::string& rule : Split(LowerTrim(bypass), ';')) {
        if (rule.empty()) {
            continue;
        }
        if (rule == "<local>") {
            if (h.find('.') == std::string::npos) {
                return {};
            }
        } else if (WildcardMatch(rule.c_str(), h.c_str())) {
            return {};
        }
    }
    std::string chosen;
    std::string server = LowerTrim(proxyServer);
    if (server.find('=') == std::string::npos) {
        chosen = server;
    } else {
        for (const std::string& entry : Split(server, ';')) {
            std::size_t eq = entry.find('=');
            if (eq != std::string::npos && entry.substr(0, eq) == scheme) {
                chosen = entry.substr(eq + 1);
            }
        }
    }
    ProxyEndpoint p;
    if (chosen.empty() || !ParseProxyEndpoint(chosen, &p)) {
        return {};
    }
    return p;
}

}  // namespace korvane::xldl
