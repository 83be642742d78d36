// What went wrong or was left out in one personal-data job, for its end message.
#pragma once

#include <string>
#include <vector>

namespace korvane {

class CopyProblems {
  public:
    // How many paths of each kind the end message names.
    static constexpr size_t kNamed = 5;

    void AddFailedFile(const std::wstring& path);
    // A folder that could not be listed or created (or a shell folder that cannot be found).
    void AddFailedFolder(const std::wstring& path);
    // A link to a folder (or a folder that is one of its own ancestors): not followed.
    void AddSkippedLink(const std::wstring& path);

    bool HasFailures() const { return failedFiles_ > 0 || failedFolders_ > 0; }
    int FailedFiles() const { return failedFiles_; }
    int FailedFolders() const { return failedFolders_; }
    int SkippedLinks() const { return skippedLinks_; }
    // The first kNamed failed paths, files and folders in the order they failed.
    const std::vector<std::wstring>& NamedFailures() const { return namedFailures_; }
    const std::vector<std::wstring>& NamedLinks() const { return namedLinks_; }

  private:
    int failedFiles_ = 0;
    int failedFolders_ = 0;
    int skippedLinks_ = 0;
    std::vector<std::wstring> namedFailures_;
    std::vector<std::wstring> namedLinks_;
};

}  // namespace korvane
