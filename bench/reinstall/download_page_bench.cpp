// The online download as the user meets it: the real main window (shown, painting), the
// real catalogue job and engine, against a loopback server that bench/reinstall/run starts.
//   download_page_bench <data folder> <download root> <catalogue url> <runs> <seconds> <rounds>
// 1. <runs> times, each into a fresh folder: RequestDownload of edition 6 until step 5 first
//    shows a downloaded amount;
// 2. <rounds> pairs of <seconds>-long downloads of the same image: the engine's task alone
//    and the program's RequestDownload with its monitor, in the order engine, monitor,
//    monitor, engine, ... so that a drift of the machine falls on both alike.
// Prints one line per figure for the run script:
//   ready <ms>                       the catalogue job enabled the start button
//   first-progress <ms> <text>       the request to the first amount, and that amount
//   phase-begin <kind> / phase-end <kind> <cpu s> <wall s> <downloaded bytes> <total bytes>
//                                    <UI thread cpu s>
//   prompts <n>                      questions other than the re-choose one (should be 0)
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

#include "app/main_frame.h"
#include "reinstall/download_texts.h"
#include "reinstall/image_catalogue.h"
#include "reinstall/online_download.h"
#include "settings/options_store.h"
#include "tests/support/test_paths.h"

using namespace korvane;

namespace {

constexpr int kEdition = 6;  // WIN7_64_2, on the Windows 7 page
constexpr wchar_t kEditionKey[] = L"WIN7_64_2";
constexpr wchar_t kAmountText[] = L"DownloadAlready_Text";
constexpr int kDownloadStep = 5;

std::string Utf8(const std::wstring& text) {
    return Utf8FromWide(text);
}

void Line(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fputc('\n', stdout);
    std::fflush(stdout);  // the run script reads each line as it comes
}

// Answers the re-choose question with OK (that is how a download is ended here) and
// everything else with No, so that no reinstall can ever start; counts the others.
class BenchPrompt : public UserPrompt {
  public:
    int Ask(const std::wstring& text, const std::wstring& caption, UINT type) override {
        if ((type & MB_TYPEMASK) == MB_OKCANCEL) {
            return IDOK;
        }
        return Unexpected(text, caption);
    }
    int AskTimed(const std::wstring& text, const std::wstring& caption, UINT, DWORD) override {
        return Unexpected(text, caption);
    }
    int unexpected() const { return unexpected_.load(); }

  private:
    int Unexpected(const std::wstring& text, const std::wstring& caption) {
        ++unexpected_;
        std::fprintf(stderr, "prompt [%s] %s\n", Utf8(caption).c_str(), Utf8(text).c_str());
        return IDNO;
    }
    std::atomic<int> unexpected_{0};
};

double Seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// User and kernel time of every thread of the process so far.
double FileTimeSeconds(const FILETIME& kernel, const FILETIME& user) {
    auto value = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(value(kernel) + value(user)) / 1e7;
}

double ProcessCpuSeconds() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    return FileTimeSeconds(kernel, user);
}

// The UI thread's share: the monitor's texts are painted there.
double ThreadCpuSeconds() {
    FILETIME created, ended, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
    return FileTimeSeconds(kernel, user);
}

void DispatchWaiting() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Handles the UI thread's messages as they come (sleeping in between) for that long.
void PumpFor(double seconds) {
    const double end = Seconds() + seconds;
    for (;;) {
        DispatchWaiting();
        const double left = end - Seconds();
        if (left <= 0) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left * 1000) + 1,
                                  QS_ALLINPUT);
    }
}

// Handles messages, looking every pollMs, until done() holds; false after timeoutSeconds.
template <typename Done>
bool PumpUntil(Done done, double timeoutSeconds, DWORD pollMs) {
    const double end = Seconds() + timeoutSeconds;
    for (;;) {
        DispatchWaiting();
        if (done()) {
            return true;
        }
        if (Seconds() >= end) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, pollMs, QS_ALLINPUT);
    }
}

std::wstring FreshFolder(const std::wstring& root, const std::wstring& stem) {
    for (int n = 1;; ++n) {
        const std::wstring folder = root + L"\\" + stem + L"-" + std::to_wstring(n);
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            return folder;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return std::wstring();
        }
    }
}

int WizardStep(CMainFrame& frame) {
    auto* tab = static_cast<DuiLib::CTabLayoutUI*>(frame.Controls().Find(L"ZadodiReloadTab"));
    return tab ? tab->GetCurSel() : -1;
}

int Fail(const char* what) {
    std::fprintf(stderr, "download_page_bench: %s\n", what);
    return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 7) {
        std::fprintf(stderr,
                     "usage: download_page_bench <data folder> <download root> <catalogue url> "
                     "<runs> <seconds> <rounds>\n");
        return 2;
    }
    const std::wstring dataFolder = argv[1];
    const std::wstring downloadRoot = argv[2];
    const std::wstring catalogueUrl = argv[3];
    const int runs = _wtoi(argv[4]);
    const double phaseSeconds = _wtof(argv[5]);
    const int rounds = _wtoi(argv[6]);

    // The program's skin, as the build made it.
    const std::wstring skin = test::UnixPathFromEnv(L"KORVANE_BUILD_DIR") + L"\\resources\\skin\\";
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    DuiLib::CPaintManagerUI::SetResourcePath(skin.c_str());
    DuiLib::CPaintManagerUI::SetResourceZip(L"KRXTSKIN.zip", false);
    if (FAILED(CoInitialize(nullptr))) {
        return Fail("no COM");
    }

    CreateDirectoryW(dataFolder.c_str(), nullptr);
    OptionsStore(dataFolder + L"\\Option.ini")
        .WriteOption(L"Server", L"ImageCatalogue", catalogueUrl);

    BenchPrompt prompt;
    auto* frame = new CMainFrame(L"C:", dataFolder, &prompt);  // lives on, as in the program
    if (!frame->Create(nullptr, L"Tesmark一键重装系统", 0x100, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                       CW_USEDEFAULT, CW_USEDEFAULT, nullptr)) {
        return Fail("no main window");
    }
    const double started = Seconds();
    frame->InitMainWindow();
    frame->CenterWindow();
    ::ShowWindow(frame->GetHWND(), SW_SHOW);
    DuiLib::CControlUI* startButton = frame->Controls().Find(kStartButton);
    if (!startButton || !PumpUntil([&] { return startButton->IsEnabled(); }, 120, 20)) {
        return Fail("the catalogue job did not enable the start button");
    }
    Line("ready %.0f", (Seconds() - started) * 1000);
    PumpFor(0.5);  // the job's thread ends after enabling the button
    if (frame->Controls().ControlText(L"ChooseOs_Text") == kNoChoiceText) {
        return Fail("no recommendation after the catalogue job");
    }
    const std::wstring url = ReadImageAddress(dataFolder, kEditionKey);
    if (url.empty()) {
        return Fail("no image address in ghoinfo.ini");
    }
    const std::wstring fileName = ImageFileName(url);

    OnlineDownload& online = frame->Online();
    DownloadLibrary& engine = frame->Downloads();

    // 1. From the click to the first amount on the download page.
    for (int run = 1; run <= runs; ++run) {
        const std::wstring folder = FreshFolder(downloadRoot, L"first");
        online.ChooseEdition(kEdition);
        const double clicked = Seconds();
        online.RequestDownload(folder);
        if (WizardStep(*frame) != kDownloadStep) {
            return Fail("the request did not show the download page");
        }
        std::wstring amount;
        const bool shown = PumpUntil(
            [&] {
                amount = frame->Controls().ControlText(kAmountText);
                return !amount.empty();
            },
            15, 2);
        const double ms = (Seconds() - clicked) * 1000;
        if (!shown) {
            return Fail("no amount on the download page within 15 s");
        }
        Line("first-progress %.0f %s", ms, Utf8(amount).c_str());
        online.ReChoose();
        PumpFor(1.5);  // the monitor's last pass and the engine's connections wind down
    }

    // 2. The same download with and without the monitor.
    std::uint32_t engineTask = 1000;
    for (int round = 1; round <= rounds; ++round) {
        for (int slot = 0; slot < 2; ++slot) {
            const bool withMonitor = (slot == 0) == (round % 2 == 0);
            const char* kind = withMonitor ? "monitor" : "engine";
            const std::wstring folder =
                FreshFolder(downloadRoot, withMonitor ? L"monitor" : L"engine");
            std::uint32_t task;
            if (!withMonitor) {
                // The same page on the screen as the monitor's run has.
                frame->Controls().SelectWizardStep(kDownloadStep);
                PumpFor(0.5);
            }
            Line("phase-begin %s", kind);
            const double cpu0 = ProcessCpuSeconds();
            const double ui0 = ThreadCpuSeconds();
            const double t0 = Seconds();
            if (withMonitor) {
                online.ChooseEdition(kEdition);
                online.RequestDownload(folder);
                task = online.TaskNumber();
            } else {
                task = ++engineTask;
                if (!engine.CreateAndStartTask(task, url, fileName, folder)) {
                    return Fail("the engine gave no task");
                }
            }
            PumpFor(phaseSeconds);
            const double cpu1 = ProcessCpuSeconds();
            const double ui1 = ThreadCpuSeconds();
            const double t1 = Seconds();
            TaskInfoRecord record;
            record.Prepare();
            engine.QueryTask(task, &record);
            Line("phase-end %s %.3f %.3f %lld %lld %.3f", kind, cpu1 - cpu0, t1 - t0,
                 static_cast<long long>(record.DownloadedBytes()),
                 static_cast<long long>(record.TotalBytes()), ui1 - ui0);
            if (withMonitor) {
                online.ReChoose();
            } else {
                engine.StopAndDeleteTask(task);
            }
            PumpFor(1.5);
        }
    }

    Line("prompts %d", prompt.unexpected());
    DestroyWindow(frame->GetHWND());
    DispatchWaiting();
    frame->EndJobs();
    CoUninitialize();
    return prompt.unexpected() == 0 ? 0 : 1;
}
