// Opening a web page for the user (the PE download page, the home page).
#pragma once

#include <string>

namespace korvane {

class PageOpener {
  public:
    virtual ~PageOpener() = default;
    virtual void OpenPage(const std::wstring& url) = 0;
};

// Opens the page with the shell's "open" verb, shown normally.
class ShellPageOpener : public PageOpener {
  public:
    void OpenPage(const std::wstring& url) override;
};

}  // namespace korvane
