// The personal-data copy under Wine, for bench/databackup/run:
//   data_copy_bench engine <source> <backup root>   the real job (backup of "Desktop" =
//                                                   source into <root>\桌面), a counting view
//   data_copy_bench walker <source> <destination>   a bare FindFirstFileW + CopyFileW walk
// Each prints "seconds <s>" and the engine also "count-lines <n>".
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "databackup/data_job.h"

namespace {

using namespace korvane;

class BenchPage : public PersonalDataPage {
  public:
    explicit BenchPage(std::wstring root) : root_(std::move(root)) {}
    bool IsOptionSelected(const std::wstring& name) override { return name == L"BackUpDoc_Op2"; }
    std::wstring EditText(const std::wstring&) override { return root_; }

  private:
    std::wstring root_;
};

class BenchFolders : public ShellFolderSource {
  public:
    explicit BenchFolders(std::wstring desktop) : desktop_(std::move(desktop)) {}
    std::wstring Locate(int csidl) override {
        return csidl == CSIDL_DESKTOP ? desktop_ : L"C:\\KorvaneBenchNoSuchFolder";
    }

  private:
    std::wstring desktop_;
};

class CountingView : public DataJobView {
  public:
    void SetActivityText(const std::wstring&) override {}
    void SetCountText(const std::wstring&) override { ++countLines; }
    void CloseJobWindow() override {}
    int countLines = 0;
};

class SilentPrompt : public UserPrompt {
  public:
    int Ask(const std::wstring& text, const std::wstring&, UINT) override {
        last = text;
        return IDOK;
    }
    int AskTimed(const std::wstring& t, const std::wstring& c, UINT y, DWORD) override {
        return Ask(t, c, y);
    }
    std::wstring last;
};

void Walk(const std::wstring& from, const std::wstring& to) {
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            Walk(from + L"\\" + name, to + L"\\" + name);
        } else {
            CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE);
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

double Seconds(LARGE_INTEGER start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: data_copy_bench engine|walker <source> <destination>\n");
        return 2;
    }
    const std::wstring mode = argv[1];
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (mode == L"walker") {
        Walk(argv[2], argv[3]);
        std::printf("seconds %.3f\n", Seconds(start));
        return 0;
    }
    BenchPage page(argv[3]);
    BenchFolders folders(argv[2]);
    CountingView view;
    SilentPrompt prompt;
    RunDataJob({kDataBackup, page, view, folders, prompt});
    std::printf("seconds %.3f\ncount-lines %d\nsuccess %d\n", Seconds(start), view.countLines,
                prompt.last == L"一键备份个人资料成功！" ? 1 : 0);
    return 0;
}
