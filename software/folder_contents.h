// Emptying the software folder before each catalogue download.
#pragma once

#include <string>

namespace korvane {

// Deletes everything below folder except entries whose names begin with "." (and what
// cannot be deleted), clearing read-only first; the folder itself stays. A linked folder
// (junction, symbolic link) is removed as a link, never emptied: its contents live
// elsewhere. Returns 1 when the folder could be listed, 0 otherwise (also for "").
int DeleteFolderContents(const std::wstring& folder);

}  // namespace korvane
