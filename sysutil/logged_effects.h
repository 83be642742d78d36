// The program's effects as the job log sees them: every message a job shows (its refusals,
// failures and questions, with the answer) and every command it runs (with its exit code)
// leaves a line in the log, whichever job it came from.
#pragma once

#include "sysutil/process_runner.h"
#include "sysutil/user_prompt.h"

namespace korvane {

class LoggedPrompt : public UserPrompt {
  public:
    explicit LoggedPrompt(UserPrompt& inner) : inner_(inner) {}
    int Ask(const std::wstring& text, const std::wstring& caption, UINT type) override;
    int AskTimed(const std::wstring& text, const std::wstring& caption, UINT type,
                 DWORD timeoutMs) override;

  private:
    UserPrompt& inner_;
};

class LoggedCommandRunner : public CommandRunner {
  public:
    explicit LoggedCommandRunner(CommandRunner& inner) : inner_(inner) {}
    HiddenCommandResult Run(const std::wstring& commandLine) override;

  private:
    CommandRunner& inner_;
};

}  // namespace korvane
