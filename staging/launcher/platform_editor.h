// The platform's own boot configuration editor, run on behalf of a 32-bit caller.
#pragma once

#include <string>

namespace korvane {

// Where the editor of this Windows lives. A 32-bit process on 64-bit Windows sees the
// 32-bit System32 (which has no bcdedit.exe); "Sysnative" reaches the native one.
std::wstring PlatformEditorPath(const std::wstring& windowsFolder, bool underWow64);

// The arguments part of a command line: what follows the program name, as typed.
std::wstring CommandLineArguments(const std::wstring& commandLine);

// Runs the editor with the given arguments on our console and standard handles, waits for
// it and answers its exit code. Without an editor: a line on standard error and exit code 2.
int RunPlatformEditor(const std::wstring& editor, const std::wstring& arguments);

// What bcdedit.exe does: find the editor of this Windows, run it, answer its exit code.
int RunPlatformEditorForThisWindows(const std::wstring& arguments);

}  // namespace korvane
