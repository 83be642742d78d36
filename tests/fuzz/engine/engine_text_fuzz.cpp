// Everything a server or an old state file can hand the engine: response heads, content
// ranges, chunked bodies, resume slots, proxy lists and thunder links. The first byte
// picks the parser.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/http_message.h"
#include "engine/proxy_config.h"
#include "engine/resume_record.h"
#include "engine/thunder_link.h"

using namespace korvane::xldl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 6) {
        case 0: {
            ResponseHead head;
            if (ParseResponseHead(text, &head)) {
                ContentLength(head);
                IsChunked(head);
                std::int64_t f, l, t;
                if (const std::string* cr = head.Find("Content-Range")) {
                    ParseContentRange(*cr, &f, &l, &t);
                }
            }
            break;
        }
        case 1: {
            ChunkedDecoder decoder;
            std::size_t half = text.size() / 2;
            std::string a = text.substr(0, half);
            std::string b = text.substr(half);
            long long n = decoder.Feed(a.data(), a.size());
            if (n > static_cast<long long>(a.size())) {
                __builtin_trap();  // decoding can only shrink
            }
            if (n >= 0) {
                decoder.Feed(b.data(), b.size());
            }
            break;
        }
        case 2: {
            ResumeRecord record;
            if (DecodeResumeSlot(text.data(), text.size(), &record)) {
                std::string again;
                ResumeRecord back;
                // Whatever decodes must encode and decode to the same record.
                if (EncodeResumeSlot(record, &again) &&
                    (!DecodeResumeSlot(again.data(), again.size(), &back) || !(back == record))) {
                    __builtin_trap();
                }
            }
            break;
        }
        case 3: {
            std::size_t cut = text.find('\n');
            std::string server = text.substr(0, cut);
            std::string bypass = cut == std::string::npos ? "" : text.substr(cut + 1);
            ChooseProxy(server, bypass, "http", "files.example.com");
            break;
        }
        case 4: {
            std::string url;
            DecodeThunderLink(text, &url);
            break;
        }
        default: {
            Url url;
            Url next;
            if (ParseUrl("http://host/dir/file", &url) && ResolveLocation(url, text, &next)) {
                BuildGetRequest(next, true, 0, -1, "fuzz");
            }
            ParseUrl(text, &url);
            break;
        }
    }
    return 0;
}
