// The engine's text formats: what servers send us and what we keep on disk.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/http_message.h"
#include "engine/proxy_config.h"
#include "engine/resume_record.h"
#include "engine/thunder_link.h"

namespace korvane::xldl {
namespace {

TEST(EngineText, UrlsAndRedirectTargets) {
    Url u;
    ASSERT_TRUE(ParseUrl("HTTP://Example.COM:8080/a b/c.gho?x=1#frag", &u));
    EXPECT_EQ(u.scheme, "http");
    EXPECT_EQ(u.host, "example.com");
    EXPECT_EQ(u.port, 8080);
    EXPECT_EQ(u.target, "/a%20b/c.gho?x=1");
    EXPECT_EQ(HostHeader(u), "example.com:8080");
    ASSERT_TRUE(ParseUrl("https://user:pw@[::1]/x", &u));
    EXPECT_EQ(u.host, "::1");
    EXPECT_EQ(u.port, 443);
    EXPECT_EQ(FormatUrl(u), "https://[::1]/x");
    EXPECT_FALSE(ParseUrl("ftp://host/x", &u));
    EXPECT_FALSE(ParseUrl("http://host:99999/", &u));
    EXPECT_FALSE(ParseUrl("http:///path", &u));

    Url base;
    ASSERT_TRUE(ParseUrl("http://h/dir/file.gho?q", &base));
    Url r;
    ASSERT_TRUE(ResolveLocation(base, "other.gho", &r));
    EXPECT_EQ(FormatUrl(r), "http://h/dir/other.gho");
    ASSERT_TRUE(ResolveLocation(base, "/root.gho", &r));
    EXPECT_EQ(FormatUrl(r), "http://h/root.gho");
    ASSERT_TRUE(ResolveLocation(base, "//mirror:81/x", &r));
    EXPECT_EQ(FormatUrl(r), "http://mirror:81/x");
    ASSERT_TRUE(ResolveLocation(base, "https://s/y", &r));
    EXPECT_EQ(r.scheme, "https");

    std::string request = BuildGetRequest(base, true, 100, -1, "UA");
    EXPECT_EQ(request.rfind("GET http://h/dir/file.gho?q HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(request.find("Range: bytes=100-\r\n"), std::string::npos);
    EXPECT_EQ(BuildGetRequest(base, false, -1, -1, "UA").find("Range"), std::string::npos);
}

TEST(EngineText, ResponseHeadsAndRanges) {
    ResponseHead h;
    ASSERT_TRUE(ParseResponseHead(
        "HTTP/1.1 206 Partial Content\r\ncontent-range: bytes 10-19/4294967296\r\n"
        "Content-Length: 10\r\nTransfer-Encoding: Chunked\r\n\r\n",
        &h));
    EXPECT_EQ(h.status, 206);
    EXPECT_EQ(ContentLength(h), 10);
    EXPECT_TRUE(IsChunked(h));
    std::int64_t f, l, t;
    ASSERT_TRUE(ParseContentRange(*h.Find("Content-Range"), &f, &l, &t));
    EXPECT_EQ(t, 4294967296LL);
    ASSERT_TRUE(ParseContentRange("bytes 0-0/*", &f, &l, &t));
    EXPECT_EQ(t, -1);
    EXPECT_FALSE(ParseContentRange("bytes 20-10/100", &f, &l, &t));
    EXPECT_FALSE(ParseContentRange("bytes 0-100/100", &f, &l, &t));
    EXPECT_FALSE(ParseContentRange("bytes -5/100", &f, &l, &t));
    EXPECT_FALSE(ParseResponseHead("ICY 200 OK\r\n\r\n", &h));
    EXPECT_FALSE(ParseResponseHead("HTTP/1.1 200 OK\r\nno colon here\r\n\r\n", &h));
    ASSERT_TRUE(ParseResponseHead("HTTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\n", &h));
    EXPECT_EQ(ContentLength(h), -1);
}

TEST(EngineText, ChunkedBodiesDecodeAcrossAnySplit) {
    const std::string wire = "5;ext=1\r\nhello\r\n0000B\r\n, chunked!!\r\n0\r\nX-T: 1\r\n\r\n";
    for (std::size_t split = 1; split < wire.size(); ++split) {
        ChunkedDecoder d;
        std::string a = wire.substr(0, split);
        std::string b = wire.substr(split);
        std::string out;
        long long n = d.Feed(a.data(), a.size());
        ASSERT_GE(n, 0);
        out.append(a.data(), static_cast<std::size_t>(n));
        n = d.Feed(b.data(), b.size());
        ASSERT_GE(n, 0);
        out.append(b.data(), static_cast<std::size_t>(n));
        EXPECT_EQ(out, "hello, chunked!!") << split;
        EXPECT_TRUE(d.Done());
    }
    ChunkedDecoder bad;
    std::string junk = "zz\r\n";
    EXPECT_LT(bad.Feed(junk.data(), junk.size()), 0);
}

TEST(EngineText, ResumeSlotsSurviveRoundTripsAndRejectDamage) {
    ResumeRecord r;
    r.sequence = 41;
    r.url = "http://h/x.gho";
    r.total = 5000000000LL;
    r.etag = "\"abc\"";
    r.lastModified = "Tue, 08 Dec 2026 10:00:00 GMT";
    r.remaining = {{100, 2000}, {4000000000LL, 5000000000LL}};
    r.durableRemaining = {{0, 2000}, {3000000000LL, 5000000000LL}};
    r.bootStamp = 13000000000LL;
    std::string slot;
    ASSERT_TRUE(EncodeResumeSlot(r, &slot));
    ResumeRecord back;
    ASSERT_TRUE(DecodeResumeSlot(slot.data(), slot.size(), &back));
    EXPECT_EQ(back, r);
    EXPECT_EQ(MissingBytes(back.remaining), 1900 + 1000000000LL);

    // A write cut short, or any flipped byte, makes the slot unusable.
    ASSERT_FALSE(DecodeResumeSlot(slot.data(), slot.size() - 3, &back));
    for (std::size_t i = 0; i < slot.size(); i += 7) {
        std::string damaged = slot;
        damaged[i] = static_cast<char>(damaged[i] ^ 0x20);
        EXPECT_FALSE(DecodeResumeSlot(damaged.data(), damaged.size(), &back)) << i;
    }
    // Ranges outside the file and line breaks in values are refused.
    ResumeRecord outside = r;
    outside.remaining = {{10, 6000000000LL}};
    ASSERT_TRUE(EncodeResumeSlot(outside, &slot));
    EXPECT_FALSE(DecodeResumeSlot(slot.data(), slot.size(), &back));
    ResumeRecord injected = r;
    injected.etag = "x\nremaining=";
    EXPECT_FALSE(EncodeResumeSlot(injected, &slot));
}

TEST(EngineText, ProxySettingsPickPerSchemeAndBypass) {
    ProxyEndpoint p = ChooseProxy("proxy.lan:3128", "", "http", "example.com");
    EXPECT_EQ(p.host, "proxy.lan");
    EXPECT_EQ(p.port, 3128);
    p = ChooseProxy("http=a:1;https=b:2", "", "https", "example.com");
    EXPECT_EQ(p.host, "b");
    EXPECT_TRUE(ChooseProxy("ftp=a:1", "", "http", "x.com").host.empty());
    EXPECT_TRUE(ChooseProxy("p:1", "<local>", "http", "intranet").host.empty());
    EXPECT_FALSE(ChooseProxy("p:1", "<local>", "http", "intra.net").host.empty());
    EXPECT_TRUE(ChooseProxy("p:1", "*.corp.lan; 10.*", "http", "files.corp.lan").host.empty());
    EXPECT_TRUE(ChooseProxy("p:1", "*.corp.lan; 10.*", "http", "10.1.2.3").host.empty());
    EXPECT_FALSE(ChooseProxy("p:1", "*.corp.lan", "http", "corp.lan.evil.com").host.empty());
    EXPECT_EQ(ChooseProxy("http://p", "", "http", "x").port, 80);
    EXPECT_FALSE(ParseProxyEndpoint("p:0", &p));
    EXPECT_FALSE(ParseProxyEndpoint(":80", &p));
}

TEST(EngineText, ThunderLinks) {
    std::string url;
    ASSERT_TRUE(DecodeThunderLink("thunder://QUFodHRwOi8vYS9iLmdob1pa", &url));
    EXPECT_EQ(url, "http://a/b.gho");
    EXPECT_FALSE(DecodeThunderLink("thunder://aGVsbG8=", &url));  // no AA..ZZ
    EXPECT_FALSE(DecodeThunderLink("thunder://!!!", &url));
    EXPECT_FALSE(DecodeThunderLink("thunder:/", &url));
}

}  // namespace
}  // namespace korvane::xldl
