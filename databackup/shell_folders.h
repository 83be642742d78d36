// Where the user's Documents, Desktop and Favorites are.
#pragma once

#include <windows.h>

#include <string>

namespace korvane {

class ShellFolderSource {
  public:
    virtual ~ShellFolderSource() = default;
    // The folder of a CSIDL_* id; empty when the system does not know it.
    virtual std::wstring Locate(int csidl) = 0;
};

// The system's answer (SHGetSpecialFolderPathW, nothing created).
class SystemShellFolders : public ShellFolderSource {
  public:
    explicit SystemShellFolders(HWND owner) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }
    std::wstring Locate(int csidl) override;

  private:
    HWND owner_;
};

}  // namespace korvane
