// "thunder://" links: base64 of "AA" + URL + "ZZ". Portable.
#pragma once

#include <string>

namespace korvane::xldl {

// The wrapped URL's bytes; false when the link is not a well-formed thunder link.
bool DecodeThunderLink(const std::string& link, std::string* url);

}  // namespace korvane::xldl
