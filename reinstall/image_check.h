// Checking an image against the SHA-256 the catalogue names for its edition (section
// "SHA256", the same keys as "GHO"), and remembering a file that passed, by its size, time
// and hash, so that the next click does not read gigabytes again.
#pragma once

#include <string>
#include <string_view>

#include "settings/options_store.h"
#include "sysutil/file_digest.h"

namespace korvane {

inline constexpr wchar_t kHashSection[] = L"SHA256";
inline constexpr wchar_t kImageCheckText[] = L"正在校验镜像文件…";
inline constexpr wchar_t kImageCheckFailed[] = L"镜像文件校验失败，请重新下载。";

// An edition's entry in the catalogue's hash section.
struct CatalogueHash {
    std::string hex;         // lower-case, 64 digits; empty when there is none
    bool malformed = false;  // an entry that is no SHA-256: the catalogue cannot be trusted
};

// Lower-case hex when text is 64 hex digits (blanks around it allowed); empty otherwise.
std::string NormalisedSha256(std::wstring_view text);

CatalogueHash ReadImageHash(const std::wstring& appDataFolder, const std::wstring& key);

enum class ImageCheck { kMatch, kMismatch, kStopped };

// Hashes the file (progress as FileSha256 takes it; answering false stops the check).
// A file that cannot be read through is a mismatch.
ImageCheck CheckImageFile(const std::wstring& path, const std::string& expectedHex,
                          const DigestProgress& progress);

// Moves a failed image to its name + ".bad" (replacing an older one), so that it is never
// taken for a finished download; false when it stays where it was.
bool SetImageAside(const std::wstring& path);

// Option.ini section "VerifiedImages": hash -> "size|time|path" of the last file that matched.
class VerifiedImages {
  public:
    explicit VerifiedImages(OptionsStore options) : options_(std::move(options)) {}
    // True when the file at path is the one that matched this hash, unchanged since.
    bool Remembers(const std::wstring& path, const std::string& hex) const;
    void Remember(const std::wstring& path, const std::string& hex) const;

  private:
    OptionsStore options_;
};

}  // namespace korvane
