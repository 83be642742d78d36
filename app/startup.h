// The program's start-up sequence, from the skin archive to the end of the message loop.
#pragma once

#include <windows.h>

#include <string>

#include "sysutil/user_prompt.h"

namespace korvane {

// Writes the skin archive into tempFolder (with its trailing backslash) as "KRXTSKIN",
// points the UI framework at it, initialises COM, creates and shows the main window and
// runs the message loop. Answers 0 in every case; a skin that cannot be written is
// reported through prompt before anything else happens.
int RunProgram(HINSTANCE instance, const std::wstring& tempFolder, UserPrompt& prompt);

// The temporary folder as GetTempPathW gives it, trailing backslash included.
std::wstring TemporaryFolder();

}  // namespace korvane
