// The Ghost batch that the DOS environment runs after the restart. Portable text only.
#pragma once

#include <string>

namespace korvane {

// The image path from its third character on (the part after the drive), at most 256
// characters: the length Ghost's DOS command line leaves for it.
std::wstring ImagePathRemainder(const std::wstring& imagePath);

// systemId and imageId are Ghost partition designators ("1:2"); remainder comes from
// ImagePathRemainder. Lines end in CR LF, the last one ("restart") has no line end.
std::wstring BuildBackupBatch(const std::wstring& systemId, const std::wstring& imageId,
                              const std::wstring& remainder);
std::wstring BuildRestoreBatch(const std::wstring& systemId, const std::wstring& imageId,
                               const std::wstring& remainder);

}  // namespace korvane
