// Conversions between UTF-16 and the system's ANSI code page (and UTF-8), and the test that
// keeps Chinese (and other non-ASCII) text out of Ghost's command lines.
#pragma once

#include <string>

namespace korvane {

std::wstring AnsiToWide(const std::string& ansi);
std::string WideToAnsi(const std::wstring& wide);
// UTF-8 bytes of the text (files the program writes for people to read, like its log).
std::string WideToUtf8(const std::wstring& wide);

// True at the first UTF-16 code unit at or above U+00A0. Units 0x80..0x9F count as
// plain: DOS-side tools only ever see ANSI bytes of ASCII paths in practice.
bool ContainsNonAsciiChar(const std::wstring& text);

}  // namespace korvane
