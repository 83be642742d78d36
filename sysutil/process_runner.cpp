#include "sysutil/process_runner.h"

#include <vector>

#include "sysutil/text_conversion.h"
#include "sysutil/unique_handle.h"

namespace korvane {

namespace {

constexpr DWORD kReadSize = 4096;

}  // namespace

HiddenCommandResult RunHiddenCommandEx(const std::wstring& commandLine, bool capture) {
    HiddenCommandResult result;

    SECURITY_ATTRIBUTES inherit = {};
    inherit.nLength = sizeof(inherit);
    inherit.bInheritHandle = TRUE;
    UniqueHandle readEnd;
    UniqueHandle writeEnd;
    if (!CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inherit, 0)) {
        return result;
    }

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    startup.dwFlags = STARTF_USESHOWWINDOW;
    if (capture) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
    }

    // CreateProcessW may write into the command line, so it gets a copy of its own.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &info)) {
        return result;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    result.started = true;

    // Only the children hold the write end now: the read below ends when they write or
    // when every one of them has exited.
    writeEnd.Reset();

    std::vector<char> buffer(kReadSize + 1, '\0');
    DWORD read = 0;
    if (ReadFile(readEnd.Get(), buffer.data(), kReadSize, &read, nullptr)) {
        result.output = AnsiToWide(std::string(buffer.data()));
    }

    if (!capture && WaitForSingleObject(process.Get(), INFINITE) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process.Get(), &result.exitCode)) {
        result.exited = true;
    }
    return result;
}

std::wstring RunHiddenCommand(const std::wstring& commandLine, bool capture) {
    return RunHiddenCommandEx(commandLine, capture).output;
}

}  // namespace korvane
