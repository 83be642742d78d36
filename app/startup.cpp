#include "app/startup.h"

#include <objbase.h>

#include "app/main_frame.h"
#include "sysutil/resource_file.h"
#include "sysutil/system_info.h"
#include "ui/duilib.h"

namespace korvane {

namespace {

constexpr WORD kSkinResource = 129;
constexpr wchar_t kSkinFileName[] = L"KRXTSKIN";

}  // namespace

std::wstring TemporaryFolder() {
    wchar_t folder[260] = {};
    GetTempPathW(260, folder);
    return folder;
}

int RunProgram(HINSTANCE instance, const std::wstring& tempFolder, UserPrompt& prompt) {
    const std::wstring skin = tempFolder + kSkinFileName;
    ExtractResourceToFile(skin, kSkinResource, L"KRFILE");
    if (!PathExists(skin)) {
        prompt.Ask(L"Korvane一键重装初始化失败！", L"信息提示", MB_ICONERROR);
        return 0;
    }

    DuiLib::CPaintManagerUI::SetInstance(instance);
    DuiLib::CPaintManagerUI::SetResourcePath(tempFolder.c_str());
    DuiLib::CPaintManagerUI::SetResourceZip(kSkinFileName, false);

    // Lives as long as the process.
    auto* frame = new CMainFrame(GetSystemDrive(), GetApplicationDataFolder());
    frame->Create(nullptr, L"Tesmark一键重装系统", 0x100, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr);
    // The first frame is painted before the rest of the start-up work: the user sees the
    // window as early as it can be drawn, and the jobs start a few milliseconds later.
    frame->PrepareFirstFrame();
    frame->CenterWindow();
    ::ShowWindow(frame->GetHWND(), SW_SHOW);
    ::UpdateWindow(frame->GetHWND());

    if (FAILED(CoInitialize(nullptr))) {
        return 0;
    }
    frame->SetIcon(kProgramIcon);
    frame->StartJobs();
    DuiLib::CPaintManagerUI::MessageLoop();
    frame->EndJobs();

    CoUninitialize();
    return 0;
}

}  // namespace korvane
