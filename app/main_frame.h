// The main window: the borderless skinned window with its drag area, tray icon and the
// private messages through which the menu, the settings window and the download side reach
// the UI thread. It also carries the state the jobs share (system drive, data folder,
// image path, download engine) and owns every message box.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/logo_animation.h"
#include "app/window_controls.h"
#include "databackup/backup_progress_window.h"
#include "reinstall/download_library.h"
#include "reinstall/online_download.h"
#include "settings/options_store.h"
#include "settings/server_addresses.h"
#include "settings/settings_window.h"
#include "staging/machine_facts.h"
#include "staging/preflight.h"
#include "staging/system_image_jobs.h"
#include "sysutil/file_dialogs.h"
#include "sysutil/logged_effects.h"
#include "sysutil/page_opener.h"
#include "sysutil/process_runner.h"
#include "sysutil/user_prompt.h"
#include "ui/duilib.h"

namespace korvane {

// Private window messages of the main window.
inline constexpr UINT kTrayCallbackMessage = WM_USER + 110;
inline constexpr UINT kReinstallRequestMessage = WM_USER + 111;
// The menu's command (WM_USER + 121) is the framework's own message.
inline constexpr UINT kMenuCommandMessage = DuiLib::WM_MENUCLICK;

inline constexpr UINT kProgramIcon = 108;

class CMainFrame : public DuiLib::CWindowWnd, public DuiLib::INotifyUI {
  public:
    // A test may pass a prompt that stands in for the window's message boxes.
    CMainFrame(std::wstring systemDrive, std::wstring appDataFolder, UserPrompt* prompt = nullptr);

    // Runs once, after the window exists and before it is shown: PrepareFirstFrame, then
    // StartJobs.
    void InitMainWindow();
    // What the first frame shows: the controls looked up, wizard step 0 with its start
    // button disabled until the image catalogue has come.
    void PrepareFirstFrame();
    // The rest, which the program runs once its first frame is on the screen: works out the
    // folders and the backup pages' default paths, shows the unfinished-download marks and
    // starts the logo, the image catalogue and the software catalogue.
    void StartJobs();
    // The program is closing: waits for a reinstall the download monitor has started, so
    // that it is never cut off half-staged.
    void EndJobs();

    DuiLib::CPaintManagerUI& PaintManager() { return m_pm; }
    WindowControls& Controls() { return controls_; }
    OnlineDownload& Online() { return *online_; }
    const ServerAddresses& Servers() const { return servers_; }
    UserPrompt& Prompt() { return activePrompt_; }

    // Puts the notification-area icon up; false when it is already there.
    bool ShowTrayIcon();
    // The record the icon was put up with (read back by tests).
    const NOTIFYICONDATAW& TrayRecord() const { return m_tray.data; }

    enum class ImageJob { kBackup, kRestore, kReinstall };
    // The three system image jobs, each with its image path.
    void RunImageJob(ImageJob job, const std::wstring& imagePath);

    DownloadLibrary& Downloads() { return downloads_; }
    // Test seam: the image path a reinstall request uses.
    void SetImagePath(const std::wstring& path) { online_->SetImagePath(path); }

    // How web pages (the home page, the PE page) are opened; the program uses the shell.
    void SetPageOpener(PageOpener* opener) { opener_ = opener ? opener : &shellOpener_; }
    // Where the folder browser of the personal-data page shows; the program uses the
    // platform's dialogs.
    void SetChooserDialogs(ChooserDialogs* dialogs) {
        dialogs_ = dialogs ? dialogs : &PlatformDialogs();
    }
    // Test seam: where the personal-data job finds the shell folders and asks the user.
    void SetDataJobEnvironment(DataJobEnvironment environment) {
        dataJobEnvironment_ = environment;
    }
    // Test seam: told each system image job and its image path (a reinstall requested by
    // message, by the download request or by the monitor; a backup or restore from its page)
    // before the job runs.
    void SetImageJobObserver(std::function<void(ImageJob, const std::wstring&)> observer) {
        imageJobObserver_ = std::move(observer);
    }

    void Notify(DuiLib::TNotifyUI& msg) override;

  protected:
    LPCTSTR GetWindowClassName() const override { return L"UIMainFrame"; }
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

  private:
    LRESULT OnCreate();
    LRESULT OnNcHitTest(LPARAM lParam);
    void OnTrayCallback(LPARAM lParam);
    void OnMenuCommand(DuiLib::CDuiString* text);
    void OnClose();
    void StartImageCatalogue();
    void StartSoftwareCatalogue();
    void SetDefaultBackupPaths(const std::wstring& root, const std::wstring& storedFolder);
    void RunPersonalDataJob(int direction);
    int MainTabOptionOf(DuiLib::CControlUI* control) const;
    void OpenMenu(DuiLib::CControlUI* button);
    void RestoreLocalImage();
    void OpenSettingsWindow();
    void ShowUnfinishedDownloads();

    // The full notification-area record of Vista and later (the XP headers stop before its
    // last field), kept for the window's life so that the icon is removed with it.
    struct TrayIconRecord {
        NOTIFYICONDATAW data;
        HICON balloonIcon;
    };

    DuiLib::CPaintManagerUI m_pm;
    TrayIconRecord m_tray = {};

    std::wstring systemDrive_;
    std::wstring appDataFolder_;
    OptionsStore options_;
    ServerAddresses servers_;

    MessageBoxPrompt prompt_{nullptr};
    LoggedPrompt loggedPrompt_;  // prompt_, or the stand-in a test passed, seen by the log
    UserPrompt& activePrompt_;   // loggedPrompt_
    HiddenCommandRunner hiddenRunner_;
    LoggedCommandRunner runner_{hiddenRunner_};
    SystemVolumeQuery volumes_;
    RunningMachineFacts machine_{appDataFolder_, runner_};
    // The jobs' way to the opener of the moment: a test may swap it after they were made.
    struct CurrentOpener : PageOpener {
        explicit CurrentOpener(PageOpener* const* current) : current(current) {}
        void OpenPage(const std::wstring& url) override { (*current)->OpenPage(url); }
        PageOpener* const* current;
    };
    CurrentOpener currentOpener_{&opener_};
    Preflight preflight_{systemDrive_, machine_, activePrompt_, currentOpener_, servers_.pePage};
    std::unique_ptr<SystemImageJobs> jobs_;
    DownloadLibrary downloads_;
    WindowControls controls_;
    LogoAnimation logo_{controls_};
    std::unique_ptr<OnlineDownload> online_;
    ShellPageOpener shellOpener_;
    PageOpener* opener_ = &shellOpener_;
    ChooserDialogs* dialogs_ = &PlatformDialogs();
    // The progress windows of this run: their copy jobs may still be finishing when the
    // modal loop returns, so they live as long as the main window.
    std::vector<std::unique_ptr<CBackUpAndRestoreProgress>> dataJobWindows_;
    DataJobEnvironment dataJobEnvironment_;
    RunningOsFacts os_;
    std::function<void(ImageJob, const std::wstring&)> imageJobObserver_;
};

}  // namespace korvane
