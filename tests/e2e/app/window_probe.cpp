// A small helper for the end-to-end scripts: it reaches the program's windows from inside
// the same Wine prefix, where xdotool cannot read a window's text.
//   window_probe post <class> <message> [wParam] [lParam]
//                                      posts the message (numbers; 0x… for hex, default 0)
//   window_probe box <caption> <seconds>
//                                      waits for a message box; prints its texts, one
//                                      "text ..." line each (UTF-8)
//   window_probe dismiss <caption>     presses the box's OK button
//   window_probe answer <caption> <yes|no|ok|cancel>
//                                      presses that button of the box and waits until it goes
//   window_probe filedialog <title> <path> <seconds>
//                                      waits for a file dialog, types the path into its file
//                                      name field and presses its OK button
//   window_probe wait <class|-> <title|-> <seconds>
//                                      waits for a visible top-level window ("-": any)
//   window_probe gone <class|-> <title|-> <seconds>
//                                      waits until no visible such window is left
// Exit code 0 on success, 2 when the window is not there (or, for gone, still there).
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

constexpr int kFileNameEdit = 0x480;   // edt1 of the file dialog's template
constexpr int kFileNameCombo = 0x47C;  // cmb13, the field of later templates

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

// "-" stands for any class or title.
const wchar_t* OrAny(const wchar_t* text) {
    return wcscmp(text, L"-") == 0 ? nullptr : text;
}

HWND FindVisible(const wchar_t* cls, const wchar_t* title) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, cls, title)) != nullptr) {
        if (IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

HWND WaitForWindow(const wchar_t* cls, const wchar_t* title, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
        if (HWND window = FindVisible(cls, title)) {
            return window;
        }
        Sleep(100);
    }
    return nullptr;
}

bool WaitUntilGone(HWND window, int seconds) {
    for (int i = 0; i < seconds * 10 && IsWindow(window); ++i) {
        Sleep(100);
    }
    return !IsWindow(window);
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

int ButtonId(const std::wstring& name) {
    if (name == L"yes") {
        return IDYES;
    }
    if (name == L"no") {
        return IDNO;
    }
    if (name == L"cancel") {
        return IDCANCEL;
    }
    return name == L"ok" ? IDOK : 0;
}

// Posted as the button's own click would arrive: the box ends its dialog with that id.
int PressButton(const wchar_t* caption, int id) {
    HWND box = FindWindowW(L"#32770", caption);
    if (!box) {
        return 2;
    }
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
    return WaitUntilGone(box, 5) ? 0 : 1;
}

// The explorer-style dialog reads its file name field when OK is pressed.
int FillFileDialog(const wchar_t* title, const wchar_t* path, int seconds) {
    HWND dialog = WaitForWindow(L"#32770", title, seconds);
    if (!dialog) {
        return 2;
    }
    Sleep(500);  // let it fill its folder view first, which may reset the field
    HWND field = GetDlgItem(dialog, kFileNameCombo);
    if (!field) {
        field = GetDlgItem(dialog, kFileNameEdit);
    }
    if (!field || !SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path))) {
        return 1;
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return WaitUntilGone(dialog, 10) ? 0 : 1;
}

LPARAM Number(const wchar_t* text) {
    return static_cast<LPARAM>(wcstoul(text, nullptr, 0));
}

int Post(int argc, wchar_t** argv) {
    HWND window = FindWindowW(argv[2], nullptr);
    if (!window) {
        return 2;
    }
    WPARAM wParam = argc > 4 ? static_cast<WPARAM>(Number(argv[4])) : 0;
    LPARAM lParam = argc > 5 ? Number(argv[5]) : 0;
    return PostMessageW(window, static_cast<UINT>(Number(argv[3])), wParam, lParam) ? 0 : 1;
}

int Run(int argc, wchar_t** argv) {
    std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"post" && argc >= 4 && argc <= 6) {
        return Post(argc, argv);
    }
    if (command == L"box" && argc == 4) {
        HWND box = WaitForWindow(L"#32770", argv[2], _wtoi(argv[3]));
        if (!box) {
            return 2;
        }
        Sleep(300);  // let it lay out its texts
        EnumChildWindows(box, PrintStaticText, 0);
        return 0;
    }
    if (command == L"dismiss" && argc == 3) {
        return PressButton(argv[2], IDOK);
    }
    if (command == L"answer" && argc == 4 && ButtonId(argv[3]) != 0) {
        return PressButton(argv[2], ButtonId(argv[3]));
    }
    if (command == L"filedialog" && argc == 5) {
        return FillFileDialog(argv[2], argv[3], _wtoi(argv[4]));
    }
    if (command == L"wait" && argc == 5) {
        return WaitForWindow(OrAny(argv[2]), OrAny(argv[3]), _wtoi(argv[4])) ? 0 : 2;
    }
    if (command == L"gone" && argc == 5) {
        for (int i = 0; i < _wtoi(argv[4]) * 10; ++i) {
            if (!FindVisible(OrAny(argv[2]), OrAny(argv[3]))) {
                return 0;
            }
            Sleep(100);
        }
        return 2;
    }
    Print(
        L"usage: window_probe post <class> <message> [wParam] [lParam] | box <caption> <seconds> "
        L"| dismiss <caption> | answer <caption> <yes|no|ok|cancel> | filedialog <title> <path> "
        L"<seconds> | wait <class|-> <title|-> <seconds> | gone <class|-> <title|-> <seconds>");
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
