// Korvane: one-click Windows reinstall, system image backup and restore.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The main window and its start-up sequence are built on the UI framework; until they
    // land the program carries its resources and exits.
    return 0;
}
