// The three Ghost jobs of the system partition: backup into an image, restore from a
// local image, reinstall from a downloaded image. Each checks its path, writes the Ghost
// batch, stages the one-time boot entry and restarts the PC (backup and restore ask first).
#pragma once

#include <string>

#include "staging/boot_staging.h"
#include "staging/preflight.h"
#include "sysutil/process_runner.h"
#include "sysutil/user_prompt.h"

namespace korvane {

// Ghost's name for the partition of a drive ("C:" -> "1:2"); empty when unknown.
class VolumeQuery {
  public:
    virtual ~VolumeQuery() = default;
    virtual std::wstring GhostPartitionId(const std::wstring& drive) = 0;
};

class SystemVolumeQuery : public VolumeQuery {
  public:
    std::wstring GhostPartitionId(const std::wstring& drive) override;
};

class SystemImageJobs {
  public:
    // preflight answers for the same system drive and tells the same prompt.
    SystemImageJobs(std::wstring systemDrive, std::wstring appDataFolder, UserPrompt& prompt,
                    CommandRunner& runner, VolumeQuery& volumes, Preflight& preflight);

    // How the batch bytes are written into the open file; a test may make the write fail.
    using BatchWriteFn = bool (*)(HANDLE file, const std::string& bytes);
    void SetBatchWriter(BatchWriteFn write) { writeBatch_ = write; }

    void RunSystemBackup(const std::wstring& imagePath);
    void RunSystemRestore(const std::wstring& imagePath);
    void RunSystemReinstall(const std::wstring& imagePath);

  private:
    struct BatchMessages {
        const wchar_t* text;
        const wchar_t* writeFailedCaption;
    };

    bool CanStage();
    bool PartitionIds(const std::wstring& imagePath, std::wstring* systemId, std::wstring* imageId);
    bool CreateImageFolders(const std::wstring& imagePath);
    bool WriteBatch(const std::wstring& text, const BatchMessages& messages);
    bool Stage(const std::wstring& description, const std::wstring& bootIniText);
    void FinishWithQuestion(const wchar_t* question);
    void Restart();

    std::wstring systemDrive_;
    UserPrompt& prompt_;
    CommandRunner& runner_;
    VolumeQuery& volumes_;
    Preflight& preflight_;
    BootStaging staging_;
    BatchWriteFn writeBatch_;
};

}  // namespace korvane
