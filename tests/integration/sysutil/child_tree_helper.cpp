// Helper of the process runner tests.
//   child_tree_helper spawn <ms> <marker> [text]
//                                          starts "sleep <ms> <marker>" inheriting its handles,
//                                          writes the text (if any) to standard output, then
//                                          exits at once
//   child_tree_helper sleep <ms> <marker>  sleeps, then creates the marker file
//   child_tree_helper print <bytes>        writes that many 'x' to standard output
//   child_tree_helper exit <code>          exits with that code
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 3) {
        return 100;
    }
    std::wstring mode = argv[1];
    if (mode == L"spawn" && (argc == 4 || argc == 5)) {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring line =
            L"\"" + std::wstring(self) + L"\" sleep " + argv[2] + L" \"" + argv[3] + L"\"";
        std::vector<wchar_t> buffer(line.begin(), line.end());
        buffer.push_back(L'\0');
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                            &startup, &info)) {
            return 101;
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        if (argc == 5) {
            std::wstring wide = argv[4];
            std::string text(wide.begin(), wide.end());  // ASCII only
            DWORD written = 0;
            WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
                      &written, nullptr);
        }
        return 0;
    }
    if (mode == L"sleep" && argc == 4) {
        Sleep(static_cast<DWORD>(_wtoi(argv[2])));
        HANDLE marker = CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        CloseHandle(marker);
        return 0;
    }
    if (mode == L"print") {
        std::string text(static_cast<size_t>(_wtoi(argv[2])), 'x');
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
                  &written, nullptr);
        return 0;
    }
    if (mode == L"exit") {
        return _wtoi(argv[2]);
    }
    return 100;
}
