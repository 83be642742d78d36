#include "engine/thunder_link.h"

namespace korvane::xldl {

namespace {

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+' || c == '-') {
        return 62;
    }
    if (c == '/' || c == '_') {
        return 63;
    }
    return -1;
}

}  // namespace

bool DecodeThunderLink(const std::string& link, std::string* url) {
    static const char kPrefix[] = "thunder://";
    if (link.size() < sizeof(kPrefix) - 1) {
        return false;
    }
    for (std::size_t i = 0; i < sizeof(kPrefix) - 1; ++i) {
        char c = link[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != kPrefix[i]) {
            return false;
        }
    }
    std::string decoded;
    unsigned bits = 0;
    int bitCount = 0;
    bool padding = false;
    for (std::size_t i = sizeof(kPrefix) - 1; i < link.size(); ++i) {
        char c = link[i];
        if (c == '/' && i + 1 == link.size()) {
            break;  // some links carry a trailing slash
        }
        if (c == '=') {
            padding = true;
            continue;
        }
        int v = Base64Value(c);
        if (v < 0 || padding) {
            return false;
        }
        bits = (bits << 6) | static_cast<unsigned>(v);
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            decoded += static_cast<char>((bits >> bitCount) & 0xFF);
        }
    }
    if (decoded.size() < 5 || decoded.compare(0, 2, "AA") != 0 ||
        decoded.compare(decoded.size() - 2, 2, "ZZ") != 0) {
        return false;
    }
    *url = decoded.substr(2, decoded.size() - 4);
    return url->find('\0') == std::string::npos;
}

}  // namespace korvane::xldl
