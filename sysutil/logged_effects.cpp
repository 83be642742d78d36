#include "sysutil/logged_effects.h"

#include "sysutil/job_log.h"

namespace korvane {

namespace {

std::wstring AnswerName(int answer) {
    switch (answer) {
        case IDOK:
            return L"OK";
        case IDCANCEL:
            return L"Cancel";
        case IDYES:
            return L"Yes";
        case IDNO:
            return L"No";
        case kTimedOutAnswer:
            return L"no answer (timed out)";
        default:
            return L"answer " + std::to_wstring(answer);
    }
}

std::wstring KindOf(UINT type) {
    if ((type & MB_ICONMASK) == MB_ICONERROR) {
        return L"error";
    }
    return (type & MB_TYPEMASK) == MB_OK ? L"message" : L"question";
}

void LogMessage(const std::wstring& text, const std::wstring& caption, UINT type, int answer) {
    LogJob(KindOf(type) + L" [" + caption + L"] " + text + L" -> " + AnswerName(answer));
}

}  // namespace

int LoggedPrompt::Ask(const std::wstring& text, const std::wstring& caption, UINT type) {
    const int answer = inner_.Ask(text, caption, type);
    LogMessage(text, caption, type, answer);
    return answer;
}

int LoggedPrompt::AskTimed(const std::wstring& text, const std::wstring& caption, UINT type,
                           DWORD timeoutMs) {
    const int answer = inner_.AskTimed(text, caption, type, timeoutMs);
    LogMessage(text, caption, type, answer);
    return answer;
}

HiddenCommandResult LoggedCommandRunner::Run(const std::wstring& commandLine) {
    HiddenCommandResult result = inner_.Run(commandLine);
    if (!result.started) {
        LogJob(L"command " + commandLine + L" -> could not be started");
    } else if (!result.exited) {
        LogJob(L"command " + commandLine + L" -> no exit code");
    } else {
        LogJob(L"command " + commandLine + L" -> exit " + std::to_wstring(result.exitCode));
    }
    return result;
}

}  // namespace korvane
