// An online download from the click on a download button to the hand-off to the reinstall
// job: the request, the task start, the monitor that keeps step 5 of the wizard up to date
// once a second, pause and resume, re-choose, and the completion prompt.
//
// One monitor per task: a re-choose or a new download ends the previous monitor, so there
// is never a second completion prompt or a second reinstall for one task.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "reinstall/download_library.h"
#include "reinstall/editions.h"
#include "reinstall/image_check.h"
#include "reinstall/wizard_view.h"
#include "settings/options_store.h"
#include "staging/machine_facts.h"
#include "sysutil/user_prompt.h"

namespace korvane {

inline constexpr wchar_t kNoChoiceText[] = L"提示：请选择要重装的系统";
inline constexpr wchar_t kDownloadSection[] = L"Download";
inline constexpr DWORD kCompletionPromptMs = 30000;

class OnlineDownload {
  public:
    using ReinstallJob = std::function<void(const std::wstring& imagePath)>;

    // appDataFolder holds ghoinfo.ini; options is Option.ini; machine tells where the system
    // partition is; reinstall runs the reinstall job with an image path, on the thread that
    // calls it.
    OnlineDownload(WizardView& view, DownloadLibrary& downloads, UserPrompt& prompt,
                   OptionsStore options, std::wstring appDataFolder, std::wstring systemDrive,
                   MachineFacts& machine, ReinstallJob reinstall);
    // Ends the monitors and waits for them.
    ~OnlineDownload();
    OnlineDownload(const OnlineDownload&) = delete;
    OnlineDownload& operator=(const OnlineDownload&) = delete;

    // A click on OS_Op<index>: the edition index, and the page's download button ready.
    void ChooseEdition(int index);
    // A click on one of the three download buttons; downloadFolder is the configured one.
    void RequestDownload(const std::wstring& downloadFolder);
    // Creates and starts the task of the current task number and its monitor. False when
    // the engine gave no task (no monitor runs then).
    bool StartDownload(const std::wstring& url, const std::wstring& fileName,
                       const std::wstring& folder);
    // StopDown_Btn: pauses or resumes by the button's tag.
    void TogglePause();
    // ReChoose_Btn: asks, then deletes the task and goes back to step 1.
    void ReChoose();

    // The program is closing: no reinstall starts from now on, and one that the monitor
    // already started is waited for, so that it never stops half-staged.
    void Close();

    int EditionIndex() const { return editionIndex_.load(); }
    std::uint32_t TaskNumber() const { return taskNumber_.load(); }
    bool DownloadStarted() const { return downloadStarted_.load(); }
    std::wstring ImagePath() const;
    // Test seam: the image path a later reinstall request uses.
    void SetImagePath(const std::wstring& path);

  private:
    // Starts body on a worker thread as the one current watcher (a monitor or an image
    // check); false when the program is closing.
    bool StartWatcher(std::function<void(std::uint32_t generation)> body);
    void Monitor(std::uint32_t generation, std::wstring imagePath, std::string hash);
    // One pass's reaction to the task's state; false ends the monitor.
    bool ShowProgress(const TaskInfoRecord& record);
    // The progress bar, sizes, speed, time left and the edition's recorded amount.
    void ShowFigures(const TaskInfoRecord& record);
    void HandOver(std::uint32_t generation, const TaskInfoRecord& record,
                  const std::wstring& imagePath, const std::string& hash);
    // An image already in the download folder: checked (on step 5, on a watcher) unless it
    // has no hash or matched before, then offered for the reinstall.
    void OfferExistingImage(const Edition& edition, const std::wstring& imagePath,
                            const std::string& hash);
    // The image against its hash with the progress on step 5; false when it is not to be
    // used (a mismatch has been set aside and told, or the check was stopped).
    bool CheckImage(std::uint32_t generation, const std::wstring& imagePath,
                    const std::string& hash);
    // Runs the reinstall unless the program is closing or a newer download took over.
    void RunReinstall(std::uint32_t generation, const std::wstring& imagePath);
    // Ends the current monitor, if any.
    void EndMonitor();
    bool IsCurrent(std::uint32_t generation) const { return generation_.load() == generation; }
    void WaitBeforeNextPass(std::uint32_t generation);

    WizardView& view_;
    DownloadLibrary& downloads_;
    UserPrompt& prompt_;
    OptionsStore options_;
    std::wstring appDataFolder_;
    std::wstring systemDrive_;
    MachineFacts& machine_;
    VerifiedImages verified_;
    ReinstallJob reinstall_;

    std::atomic<int> editionIndex_{-1};
    std::atomic<std::uint32_t> taskNumber_{0};
    std::atomic<bool> downloadStarted_{false};

    mutable std::mutex lock_;  // guards the texts below, closing_, reinstalling_, monitors_
    std::condition_variable changed_;
    std::wstring imageUrl_;
    std::wstring fileName_;
    std::wstring downloadFolder_;
    std::wstring imagePath_;
    std::string imageHash_;  // the catalogue's SHA-256 of the requested image, or empty
    bool closing_ = false;
    bool reinstalling_ = false;
    int monitors_ = 0;                          // monitor threads still running
    std::atomic<std::uint32_t> generation_{0};  // the running monitor's; 0 ends them all
    std::uint32_t lastGeneration_ = 0;
};

}  // namespace korvane
