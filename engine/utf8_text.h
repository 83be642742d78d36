// UTF-8 for the texts the engine sends and keeps (URLs, header values, state records).
#pragma once

#include <string>

#include "sysutil/utf8_text.h"

namespace korvane::xldl {

inline std::string Narrow(const std::wstring& text) {
    return Utf8FromWide(text);
}

}  // namespace korvane::xldl
