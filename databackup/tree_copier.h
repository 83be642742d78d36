// The copy engine of the personal-data job: counts the files of a tree and copies the tree
// into a destination folder, keeping each entry's path relative to the tree's root.
//
// Under Wine every file call is costly, so each folder is listed once: CountFiles keeps the
// listing in memory and CopyTree copies from it. Names beginning with "." are left out, the
// read-only attribute is taken off the source entries (from the listing's data), and links
// to folders (reparse points, or a folder that is one of its own ancestors) are not followed.
// Paths go to the file calls in the "\\?\" form, so depth is no limit.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "databackup/copy_problems.h"
#include "databackup/copy_progress.h"

namespace korvane {

class TreeCopier {
  public:
    TreeCopier(CopyProgress& progress, CopyProblems& problems)
        : progress_(progress), problems_(problems) {}

    // The number of files in the tree below folder; 0 when it cannot be listed. A missing
    // top folder is no problem (a backup without that folder); any other listing failure is.
    int CountFiles(const std::wstring& folder);

    // Copies the tree below folder (as CountFiles last listed it) into destinationRoot plus
    // folder's path relative to sourceRoot. False when folder could not be listed.
    bool CopyTree(const std::wstring& folder, const std::wstring& destinationRoot,
                  const std::wstring& sourceRoot);

  private:
    struct FolderId {
        DWORD volume;
        DWORD indexHigh;
        DWORD indexLow;
        bool operator==(const FolderId&) const = default;
    };
    struct ListedFolder {
        std::wstring relative;  // "" for the top, else "\a\b"
        std::vector<std::wstring> files;
    };

    void ListTree(const std::wstring& folder, const std::wstring& relative, bool top);
    bool ListOneFolder(const std::wstring& folder, const std::wstring& relative, bool top,
                       std::vector<std::wstring>& subfolders);
    void CopyFolderFiles(const ListedFolder& listed, const std::wstring& source,
                         const std::wstring& destination);
    void CopyOneFile(const std::wstring& source, const std::wstring& destination);

    CopyProgress& progress_;
    CopyProblems& problems_;
    std::wstring listedRoot_;
    bool listedRootFound_ = false;
    std::vector<ListedFolder> listed_;
    std::vector<FolderId> ancestors_;
};

}  // namespace korvane
