// Paths as the copy job hands them to the file calls: absolute, in the "\\?\" form, so that
// trees deeper than MAX_PATH are copied like any other.
#pragma once

#include <string>

namespace korvane {

// path made absolute (against the current folder when relative) and put in the "\\?\" form
// ("\\?\UNC\server\share\..." for a share). Doubled and trailing separators are dropped, since
// the long form takes every character literally. Empty when path is empty or not valid.
std::wstring ToLongPath(const std::wstring& path);

// A long-form path as the user writes it (for messages): the "\\?\" prefix taken off again.
std::wstring ToDisplayPath(const std::wstring& longPath);

// folder + "\" + name.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// The length of the root of a long-form path: "\\?\C:\" or "\\?\UNC\server\share\"
// (the separator included); 0 when it has neither form.
size_t LongPathRootLength(const std::wstring& longPath);

}  // namespace korvane
