// Option.ini: the program's few persistent values, read and written only through the
// platform's private-profile calls (no copy in memory, no parser of our own).
#pragma once

#include <windows.h>

#include <string>

namespace korvane {

// The user's roaming application data folder + "\QMZXT" + "\Option.ini". Creates the
// application data folder when it is missing. Empty when the shell cannot name the
// roaming folder.
std::wstring GetOptionsFilePath(HWND owner);

// The same for a given application data folder (the folder is created when missing).
std::wstring GetOptionsFilePath(const std::wstring& appDataFolder);

// One options file, named by its full path.
class OptionsStore {
  public:
    explicit OptionsStore(std::wstring filePath) : filePath_(std::move(filePath)) {}

    const std::wstring& FilePath() const { return filePath_; }

    // The stored text, at most 259 characters; empty when the file, section or key is
    // missing.
    std::wstring ReadOption(const std::wstring& section, const std::wstring& key) const;

    // Failures are not reported: a failed write leaves the old value.
    void WriteOption(const std::wstring& section, const std::wstring& key,
                     const std::wstring& text) const;

  private:
    std::wstring filePath_;
};

}  // namespace korvane
