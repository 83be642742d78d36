#include "databackup/copy_problems.h"

namespace korvane {

namespace {

void Name(std::vector<std::wstring>& named, const std::wstring& path) {
    if (named.size() < CopyProblems::kNamed) {
        named.push_back(path);
    }
}

}  // namespace

void CopyProblems::AddFailedFile(const std::wstring& path) {
    ++failedFiles_;
    Name(namedFailures_, path);
}

void CopyProblems::AddFailedFolder(const std::wstring& path) {
    ++failedFolders_;
    Name(namedFailures_, path);
}

void CopyProblems::AddSkippedLink(const std::wstring& path) {
    ++skippedLinks_;
    Name(namedLinks_, path);
}

}  // namespace korvane
