// bcdedit.exe: runs the boot configuration editor of the Windows we run on with our
// arguments and answers its exit code. It lets the 32-bit program reach the 64-bit editor.
#include <windows.h>

#include "staging/launcher/platform_editor.h"

int main() {
    return korvane::RunPlatformEditorForThisWindows(
        korvane::CommandLineArguments(GetCommandLineW()));
}
