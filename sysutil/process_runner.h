// Runs console commands hidden and waits for them.
#pragma once

#include <windows.h>

#include <string>

namespace korvane {

struct HiddenCommandResult {
    bool started = false;  // the process was created
    bool exited = false;   // it ended, and exitCode is its exit status
    DWORD exitCode = 0;
    std::wstring output;  // first chunk of output (capture mode only)
};

// Runs a command line hidden. Without capture the call returns once the process and every
// process that inherited its handles have ended; with capture it returns the first chunk
// (at most 4,096 bytes) the command writes, converted from the ANSI code page.
HiddenCommandResult RunHiddenCommandEx(const std::wstring& commandLine, bool capture);

// The same, answering only the captured text (empty when nothing was read or the command
// could not start).
std::wstring RunHiddenCommand(const std::wstring& commandLine, bool capture);

// Where jobs send their commands: the program runs them for real, tests may watch them.
class CommandRunner {
  public:
    virtual ~CommandRunner() = default;
    virtual HiddenCommandResult Run(const std::wstring& commandLine) = 0;
};

class HiddenCommandRunner : public CommandRunner {
  public:
    HiddenCommandResult Run(const std::wstring& commandLine) override {
        return RunHiddenCommandEx(commandLine, false);
    }
};

}  // namespace korvane
