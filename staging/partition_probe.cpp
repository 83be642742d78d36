#include "staging/partition_probe.h"

#include <windows.h>

#include "staging/boot_commands.h"
#include "staging/staging_resources.h"
#include "sysutil/resource_file.h"
#include "sysutil/text_conversion.h"
#include "sysutil/unique_handle.h"

namespace korvane {

namespace {

constexpr DWORD kOutputBytesRead = 100;

std::wstring ReadOutputStart(const std::wstring& path) {
    UniqueHandle file(
        CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.IsValid()) {
        return std::wstring();
    }
    char bytes[kOutputBytesRead] = {};
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes, kOutputBytesRead, &read, nullptr)) {
        read = 0;
    }
    return AnsiToWide(std::string(bytes, read));
}

}  // namespace

ProbeVerdict RunFirstDiskProbe(const std::wstring& dataFolder, CommandRunner& runner) {
    const std::wstring script = dataFolder + L"\\krxtmbr.cmd";
    const std::wstring output = dataFolder + L"\\KRXT.txt";
    ExtractResourceToFile(script, kProbeScriptResource, kStagingResourceType);

    // The answer of an earlier start must never stand in for this one: when the script
    // cannot run, cmd never gets to the redirection and the old file would be judged.
    SetFileAttributesW(output.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(output.c_str());
    // (Quoted where the folder holds a blank or a character cmd reads specially.)
    runner.Run(CmdCommand(script, L">" + CmdQuoted(output)));
    return JudgeProbeOutput(ReadOutputStart(output));
}

void ShowProbeRefusal(ProbeVerdict verdict, UserPrompt& prompt, PageOpener& opener,
                      const std::wstring& pePageUrl) {
    if (const wchar_t* message = ProbeRefusalMessage(verdict)) {
        prompt.Ask(message, L"信息提示", MB_OK | MB_ICONERROR);
        opener.OpenPage(pePageUrl);
    }
}

ProbeVerdict ProbeFirstDiskStyle(const std::wstring& dataFolder, CommandRunner& runner,
                                 UserPrompt& prompt, PageOpener& opener,
                                 const std::wstring& pePageUrl) {
    const ProbeVerdict verdict = RunFirstDiskProbe(dataFolder, runner);
    ShowProbeRefusal(verdict, prompt, opener, pePageUrl);
    return verdict;
}

}  // namespace korvane
