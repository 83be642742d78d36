// Stand-in for shutdown.exe: records its arguments, one line per call, and restarts nothing.
// The record goes to %KORVANE_SHUTDOWN_LOG% or C:\korvane-shutdown.log.
#include "double_io.h"

int main() {
    std::wstring line;
    for (const std::wstring& arg : doubles::Arguments()) {
        line += (line.empty() ? L"" : L" ") + arg;
    }
    std::wstring log = doubles::EnvOr(L"KORVANE_SHUTDOWN_LOG", L"C:\\korvane-shutdown.log");
    return doubles::WriteBytes(log, doubles::ToUtf8(L"shutdown " + line) + "\r\n", true) ? 0 : 1;
}
