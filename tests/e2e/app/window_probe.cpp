// A small helper for the end-to-end scripts: it reaches the program's windows from inside
// the same Wine prefix, where xdotool cannot read a window's text.
//   window_probe post <window class> <message>   posts the message (wParam, lParam 0)
//   window_probe box <caption> <seconds>         waits for a message box; prints its
//                                                texts, one "text ..." line each (UTF-8)
//   window_probe dismiss <caption>               presses the box's OK button
// Exit code 0 on success, 2 when the window is not there.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

void Print(const std::wstring& line) {
    std::wstring text = line + L"\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string bytes(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), n, &written, nullptr);
}

HWND WaitForBox(const wchar_t* caption, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (HWND box = FindWindowW(L"#32770", caption)) {
            return box;
        }
        Sleep(100);
    }
    return nullptr;
}

BOOL CALLBACK PrintStaticText(HWND child, LPARAM) {
    wchar_t cls[32] = {};
    GetClassNameW(child, cls, 32);
    wchar_t text[1024] = {};
    if (_wcsicmp(cls, L"Static") == 0 && GetWindowTextW(child, text, 1024) > 0) {
        Print(std::wstring(L"text ") + text);
    }
    return TRUE;
}

int Run(int argc, wchar_t** argv) {
    std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"post" && argc == 4) {
        HWND window = FindWindowW(argv[2], nullptr);
        if (!window) {
            return 2;
        }
        return PostMessageW(window, static_cast<UINT>(_wtoi(argv[3])), 0, 0) ? 0 : 1;
    }
    if (command == L"box" && argc == 4) {
        HWND box = WaitForBox(argv[2], _wtoi(argv[3]));
        if (!box) {
            return 2;
        }
        Sleep(300);  // let it lay out its texts
        EnumChildWindows(box, PrintStaticText, 0);
        return 0;
    }
    if (command == L"dismiss" && argc == 3) {
        HWND box = FindWindowW(L"#32770", argv[2]);
        if (!box) {
            return 2;
        }
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 50 && IsWindow(box); ++i) {
            Sleep(100);
        }
        return IsWindow(box) ? 1 : 0;
    }
    Print(
        L"usage: window_probe post <class> <message> | box <caption> <seconds> | "
        L"dismiss <caption>");
    return 1;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    int rc = argv ? Run(argc, argv) : 1;
    LocalFree(argv);
    return rc;
}
