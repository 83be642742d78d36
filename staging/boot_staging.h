// The one-time boot entry: the next start of the PC boots once into the DOS environment
// that runs Ghost, through loader files at the volume roots and an entry in the boot
// menu (the BCD store on Windows with a boot manager, boot.ini on XP).
#pragma once

#include <string>

#include "sysutil/process_runner.h"

namespace korvane {

class BootStaging {
  public:
    // systemDrive is "C:"; appDataFolder receives the boot configuration editor.
    BootStaging(std::wstring systemDrive, std::wstring appDataFolder, CommandRunner& runner);

    // Writes the loader files, adds the entry and makes it the default with a 3-second menu.
    // Every step runs even when an earlier one failed; the answer says whether the machine
    // is staged: loader files in place, the Ghost batch written, and the entry the default.
    bool StageBootEntry(const std::wstring& description, const std::wstring& bootIniText);

    // Removes what StageBootEntry added and puts back the saved store or boot.ini.
    void UnstageBootEntry();

    std::wstring SystemRoot() const { return systemDrive_ + L"\\"; }

  private:
    void WriteLoaderFiles(const std::wstring& root);
    bool StageBcdEntry(const std::wstring& description);
    bool StageBootIniEntry(const std::wstring& bootIniText);
    bool LoaderFilesInPlace(const std::wstring& root) const;

    std::wstring systemDrive_;
    std::wstring appDataFolder_;
    CommandRunner& runner_;
};

}  // namespace korvane
