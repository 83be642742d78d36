// Logs each of its starts to the file named by KORVANE_RESTART_LOG, one line of
// "module|command line" in UTF-8. On its first start it presses the restart button of a
// settings window, which must start it again and end it with exit code 0.
#include <windows.h>

#include <string>

#include "settings/settings_window.h"
#include "tests/integration/app/app_test_support.h"
#include "tests/support/test_paths.h"

namespace {

constexpr int kRestartReturned = 3;  // the restart came back instead of ending the process
constexpr int kLaterStart = 7;
constexpr int kNoLog = 9;

}  // namespace

int main() {
    using namespace korvane;
    wchar_t log[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"KORVANE_RESTART_LOG", log, MAX_PATH) == 0) {
        return kNoLog;
    }
    std::string earlier = test::ReadFileBytes(log);
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::string logged = earlier + test::Utf8(module) + "|" + test::Utf8(GetCommandLineW()) + "\n";
    // The test reads the log while it waits for the second start.
    for (int attempt = 0; attempt < 100 && !test::WriteFileBytes(log, logged); ++attempt) {
        Sleep(10);
    }
    if (!earlier.empty()) {
        return kLaterStart;
    }
    test::UseBuiltSkin();
    std::wstring appData = std::wstring(log) + L".appdata";
    CSet window(OptionsStore(GetOptionsFilePath(appData)), appData);
    if (window.Create(nullptr, L"Korvane设置", WS_POPUP, 0) == nullptr) {
        return kRestartReturned + 1;
    }
    window.PaintManager().SendNotify(window.PaintManager().FindControl(L"cq_btn"),
                                     DUI_MSGTYPE_CLICK);
    return kRestartReturned;
}
