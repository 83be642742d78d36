// Stands in for MiniTPFw.exe: after a short pause (so a caller that does not wait would
// miss it) it writes its command line to "ran.txt" beside itself.
#include <windows.h>

#include <string>

int main() {
    Sleep(300);
    wchar_t self[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring marker(self, n);
    marker = marker.substr(0, marker.find_last_of(L'\\') + 1) + L"ran.txt";
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    const wchar_t* line = GetCommandLineW();
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(lstrlenW(line) * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return 0;
}
