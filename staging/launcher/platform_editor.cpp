#include "staging/launcher/platform_editor.h"

#include <windows.h>

#include <string>
#include <vector>

#include "sysutil/system_function.h"
#include "sysutil/text_conversion.h"
#include "sysutil/unique_handle.h"

namespace korvane {

namespace {

constexpr int kNoEditorExitCode = 2;

bool RunningUnderWow64() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64 = SystemFunction<IsWow64ProcessFn>(L"kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

void WriteError(const std::wstring& text) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    std::string bytes = WideToAnsi(text) + "\r\n";
    DWORD written = 0;
    if (err && err != INVALID_HANDLE_VALUE) {
        WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
}

}  // namespace

std::wstring PlatformEditorPath(const std::wstring& windowsFolder, bool underWow64) {
    return windowsFolder + (underWow64 ? L"\\Sysnative\\bcdedit.exe" : L"\\System32\\bcdedit.exe");
}

std::wstring CommandLineArguments(const std::wstring& commandLine) {
    size_t i = 0;
    // The program name ends at the closing quote when it starts with one, otherwise at the
    // first blank or tab.
    if (i < commandLine.size() && commandLine[i] == L'"') {
        size_t close = commandLine.find(L'"', 1);
        i = close == std::wstring::npos ? commandLine.size() : close + 1;
    }
    while (i < commandLine.size() && commandLine[i] != L' ' && commandLine[i] != L'\t') {
        ++i;
    }
    while (i < commandLine.size() && (commandLine[i] == L' ' || commandLine[i] == L'\t')) {
        ++i;
    }
    return commandLine.substr(i);
}

int RunPlatformEditor(const std::wstring& editor, const std::wstring& arguments) {
    DWORD attributes = GetFileAttributesW(editor.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        WriteError(L"bcdedit: this Windows has no boot configuration editor (" + editor + L")");
        return kNoEditorExitCode;
    }

    std::wstring text = L"\"" + editor + L"\" " + arguments;
    std::vector<wchar_t> line(text.begin(), text.end());
    line.push_back(L'\0');

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(editor.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
        WriteError(L"bcdedit: cannot start " + editor + L" (error " +
                   std::to_wstring(GetLastError()) + L")");
        return kNoEditorExitCode;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.Get(), &exitCode);
    return static_cast<int>(exitCode);
}

int RunPlatformEditorForThisWindows(const std::wstring& arguments) {
    wchar_t windows[MAX_PATH] = {};
    UINT n = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
        WriteError(L"bcdedit: cannot find the Windows folder");
        return kNoEditorExitCode;
    }
    return RunPlatformEditor(PlatformEditorPath(windows, RunningUnderWow64()), arguments);
}

}  // namespace korvane
