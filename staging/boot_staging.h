// The one-time boot entry: the next start of the PC boots once into the DOS environment
// that runs Ghost, through loader files at the volume roots and an entry in the boot
// menu (the BCD store on Windows with a boot manager, boot.ini on XP).
#pragma once

#include <string>

#include "staging/boot_commands.h"
#include "staging/boot_payload_check.h"
#include "sysutil/process_runner.h"

namespace korvane {

class BootStaging {
  public:
    // systemDrive is "C:"; appDataFolder receives the boot configuration editor. The
    // loader files also go to firstVolumeRoot (the volume with the boot manager; tests
    // point it at a folder).
    BootStaging(std::wstring systemDrive, std::wstring appDataFolder, CommandRunner& runner,
                std::wstring firstVolumeRoot = kFirstVolumeRoot);

    bool HasApplicationDataFolder() const { return !appDataFolder_.empty(); }

    // What keeps the boot files the program carries from doing their duty, if anything.
    PayloadFault CarriedPayloadFault() const;

    // Writes the loader files, adds the entry and makes it the default with a 3-second menu.
    // Nothing is written without an application data folder (the editor would land in the
    // drive root) or with a payload that cannot boot. Otherwise every step runs even when an
    // earlier one failed; the answer says whether the machine is staged: loader files in
    // place, the Ghost batch written, the store saved and the entry the default.
    bool StageBootEntry(const std::wstring& description, const std::wstring& bootIniText);

    // Removes what StageBootEntry added and puts back the store saved by its export (never
    // a store left by an earlier staging) or boot.ini.
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
    std::wstring firstVolumeRoot_;
    bool storeSaved_ = false;  // this run's export succeeded
};

}  // namespace korvane
