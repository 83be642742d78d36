// Names the running Windows and recommends the installer edition that suits it.
#pragma once

#include <cstddef>
#include <string>

namespace korvane {

inline constexpr size_t kOsNameBufferSize = 260;

// The OS name table: "Windows 7", "Windows Server 2008 R2", ... "(未知的)" for any other
// version. Free of Windows types so the table can be checked row by row.
const wchar_t* OsNameForVersion(unsigned long major, unsigned long minor, bool workstation);

// Writes the running Windows' name as ANSI text (local code page) into a zero-filled buffer.
void GetOsDisplayName(char (&name)[kOsNameBufferSize]);

// True when this 32-bit program runs on 64-bit Windows; false where the system cannot tell.
bool IsWow64();

// The two facts the recommendation rests on.
class OsFacts {
  public:
    virtual ~OsFacts() = default;
    virtual std::wstring OsName() = 0;
    virtual bool Is64Bit() = 0;
};

// The running system: GetOsDisplayName converted from ANSI, and IsWow64.
class RunningOsFacts : public OsFacts {
  public:
    std::wstring OsName() override;
    bool Is64Bit() override { return IsWow64(); }
};

// The named controls of the main window that the recommendation writes.
class RecommendationTarget {
  public:
    virtual ~RecommendationTarget() = default;
    virtual void SetControlText(const std::wstring& name, const std::wstring& text) = 0;
    virtual std::wstring ControlUserData(const std::wstring& name) = 0;
    virtual void SetControlUserData(const std::wstring& name, const std::wstring& data) = 0;
};

// Writes the recommendation sentence on the four tuijian texts, the selected edition on
// ChooseOs_Text, and copies the recommended option's catalogue URL to ChooseOs_Text.
// Neither selects the option nor sets the edition index.
void RecommendEdition(RecommendationTarget& window, OsFacts& os);
void RecommendEdition(RecommendationTarget& window);

}  // namespace korvane
