// Asks diskpart whether the first disk is MBR-partitioned before the online reinstall is
// offered; refuses with a message and the PE download page otherwise.
#pragma once

#include <string>

#include "staging/probe_verdict.h"
#include "sysutil/page_opener.h"
#include "sysutil/process_runner.h"
#include "sysutil/user_prompt.h"

namespace korvane {

inline constexpr WORD kProbeScriptResource = 146;  // "KRFILE": krxtmbr.cmd

// Writes the probe script into dataFolder, runs it into dataFolder + "\KRXT.txt" and judges
// the first disk, telling nobody.
ProbeVerdict RunFirstDiskProbe(const std::wstring& dataFolder, CommandRunner& runner);

// For a refusing verdict: the probe's message, then the PE page. Nothing for kMbr.
void ShowProbeRefusal(ProbeVerdict verdict, UserPrompt& prompt, PageOpener& opener,
                      const std::wstring& pePageUrl);

// The two above, as the online reinstall's start runs them: on a refusal the message has
// been shown and the page opened.
ProbeVerdict ProbeFirstDiskStyle(const std::wstring& dataFolder, CommandRunner& runner,
                                 UserPrompt& prompt, PageOpener& opener,
                                 const std::wstring& pePageUrl);

}  // namespace korvane
