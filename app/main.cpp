// Korvane: one-click Windows reinstall, system image backup and restore.
#include <windows.h>

#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    korvane::MessageBoxPrompt prompt(nullptr);
    return korvane::RunProgram(instance, korvane::TemporaryFolder(), prompt);
}
