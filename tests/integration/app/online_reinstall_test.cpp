// The online reinstall through the real main window and the real engine: the image
// catalogue from the loopback test server, a download shown on step 5, Option.ini, pause,
// re-choose, the completion prompt and the hand-off to the reinstall job, which stages into
// the stand-in boot store and records the restart.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "reinstall/editions.h"
#include "reinstall/image_check.h"
#include "reinstall/online_download.h"
#include "settings/download_folder.h"
#include "staging/preflight.h"
#include "staging/probe_verdict.h"
#include "sysutil/job_log.h"
#include "tests/integration/engine/engine_test_support.h"
#include "tests/integration/staging/staging_fixture.h"
#include "tests/integration/app/app_test_support.h"
#include "tests/support/recording_opener.h"
#include "tests/support/scripted_prompt.h"
#include "tests/support/test_paths.h"
#include "tests/unit/ui_core/zip_writer.h"

namespace korvane {
namespace {

namespace et = enginetest;
using test::ScriptedPrompt;

constexpr UINT kSpeedLimit = WM_USER + 116;
constexpr wchar_t kCatalogueFailed[] = L"获取系统配置文件失败,请检查网络设置";
constexpr wchar_t kNoChoice[] = L"请选择要重装的系统！";
constexpr wchar_t kNoImageAddress[] = L"获取系统配置文件失败，请检查网络是否正常";
constexpr wchar_t kImageExists[] = L"系统已存在，是否开始一键重装系统？";
constexpr wchar_t kDiskSpace[] =
    L"创建下载文件失败，请检查是否有足够的磁盘空间\r\n\r\n超过4G的文件请下载到NTFS格式的硬盘！";
constexpr wchar_t kCompletionTail[] =
    L"\" 下载完成,是否进行一键重装系统？（30秒后自动开始一键重装）";

using test::Pump;
using test::PumpUntil;
using test::UseBuiltSkin;

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// The catalogue text: "[GHO]" and one line per key.
std::string CatalogueText(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string text = "[GHO]\r\n";
    for (const auto& [key, value] : entries) {
        text += key + "=" + value + "\r\n";
    }
    return text;
}

// The catalogue's section of image hashes.
std::string HashSection(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string text = "[SHA256]\r\n";
    for (const auto& [key, value] : entries) {
        text += key + "=" + value + "\r\n";
    }
    return text;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// Other bytes at the start of the file, its size and time as they were.
void AlterKeepingSizeAndTime(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME written = {};
    GetFileTime(file, nullptr, nullptr, &written);
    DWORD done = 0;
    WriteFile(file, "altered!", 8, &done, nullptr);
    SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
}

std::string ImageUrl(const std::string& file) {
    return Narrow(et::ServerUrl(file));
}

// A prompt whose completion question waits until the test lets it answer.
class GatedPrompt : public ScriptedPrompt {
  public:
    using ScriptedPrompt::ScriptedPrompt;
    int AskTimed(const std::wstring& text, const std::wstring& caption, UINT type,
                 DWORD timeoutMs) override {
        SetEvent(asking_);
        WaitForSingleObject(answer_, 60000);
        return ScriptedPrompt::AskTimed(text, caption, type, timeoutMs);
    }
    bool Asking() const { return WaitForSingleObject(asking_, 0) == WAIT_OBJECT_0; }
    void LetAnswer() { SetEvent(answer_); }

  private:
    HANDLE asking_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE answer_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

class OnlineReinstallTest : public test::StagingTest {
  protected:
    void SetUp() override {
        StagingTest::SetUp();
        ASSERT_TRUE(et::ServerAvailable()) << "run through run-with-server";
        UseBuiltSkin();
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::wstring name(test->name(), test->name() + strlen(test->name()));
        dataFolder = et::FreshFolder(L"data-" + name) + L"\\QMZXT";
        CreateDirectoryW(dataFolder.c_str(), nullptr);
        DeleteFileW((dataFolder + L"\\Option.ini").c_str());
        DeleteFileW((dataFolder + L"\\ghoinfo.ini").c_str());
        CreateDirectoryW(L"D:\\KorvaneOnline", nullptr);
        downloadFolder = L"D:\\KorvaneOnline\\" + name;
        CreateDirectoryW(downloadFolder.c_str(), nullptr);
        ClearFolder(downloadFolder);
    }

    void TearDown() override {
        if (frame) {
            DestroyWindow(frame->GetHWND());
            delete frame;  // ends the monitors and waits for them
            frame = nullptr;
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        StagingTest::TearDown();
    }

    static void ClearFolder(const std::wstring& folder) {
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) {
            return;
        }
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                DeleteFileW((folder + L"\\" + found.cFileName).c_str());
            }
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }

    void Serve(const std::string& name, const std::string& bytes) {
        const std::wstring path = et::ServerRoot() + L"\\" + std::wstring(name.begin(), name.end());
        ASSERT_TRUE(test::WriteFileBytes(path, bytes));
    }

    std::wstring Option(const wchar_t* section, const wchar_t* key) {
        return OptionsStore(dataFolder + L"\\Option.ini").ReadOption(section, key);
    }

    // Points the program at the catalogue and the download folder, then creates the main
    // window and runs its initialisation. prompt null: real message boxes.
    void Start(const std::wstring& catalogueUrl, UserPrompt* prompt) {
        OptionsStore options(dataFolder + L"\\Option.ini");
        options.WriteOption(L"Server", L"ImageCatalogue", catalogueUrl);
        options.WriteOption(L"Server", L"PePage", et::ServerUrl("pe/"));
        options.WriteOption(L"Server", L"SoftwareCatalogue", et::ServerUrl("SoftWareInfo.zip"));
        options.WriteOption(L"Set", L"Dir", downloadFolder);
        frame = new CMainFrame(L"C:", dataFolder, prompt);
        frame->SetImageJobObserver([this](CMainFrame::ImageJob job, const std::wstring& path) {
            if (job == CMainFrame::ImageJob::kReinstall) {
                reinstalls.push_back(path);
            }
        });
        frame->SetPageOpener(&opener);
        ASSERT_TRUE(frame->Create(nullptr, L"Tesmark一键重装系统", 0x100, 0, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr));
        frame->InitMainWindow();
        ::ShowWindow(frame->GetHWND(), SW_SHOW);
    }

    // Starts and waits until the catalogue job enabled the start button.
    void StartAndFetch(const std::string& catalogue, UserPrompt* prompt) {
        Serve("qmzgho.ini", catalogue);
        Start(et::ServerUrl("qmzgho.ini"), prompt);
        ASSERT_TRUE(
            PumpUntil([&] { return Control(L"StartRestoreSystem_Btn")->IsEnabled(); }, 60000))
            << "the catalogue job did not finish";
        Pump(200);  // the job's thread returns after enabling the button
    }

    DuiLib::CControlUI* Control(const wchar_t* name) { return frame->Controls().Find(name); }
    std::wstring Text(const wchar_t* name) { return frame->Controls().ControlText(name); }
    std::wstring UserData(const wchar_t* name) { return frame->Controls().ControlUserData(name); }
    int WizardStep() {
        return static_cast<DuiLib::CTabLayoutUI*>(Control(L"ZadodiReloadTab"))->GetCurSel();
    }
    // The job log of this run, as its bytes (UTF-8), once every line is written.
    std::string JobLogText() {
        EXPECT_TRUE(FlushJobLog());
        return test::ReadFileBytes(dataFolder + L"\\" + kJobLogName);
    }
    // For a line the job writes after an effect the test has already seen (the command's
    // line follows the command's end).
    bool LoggedSoon(const char* piece, size_t times = 1) {
        return PumpUntil(
            [&] {
                const std::string log = JobLogText();
                size_t found = 0;
                for (size_t at = log.find(piece); at != std::string::npos;
                     at = log.find(piece, at + 1)) {
                    ++found;
                }
                return found >= times;
            },
            10000);
    }
    void ExpectLogged(const std::string& log, std::initializer_list<const char*> pieces) {
        for (const char* piece : pieces) {
            EXPECT_NE(log.find(piece), std::string::npos) << "not in the log: " << piece << "\n"
                                                          << log;
        }
    }

    // A click on the control of that name, whether the window looked it up or not.
    void Click(const wchar_t* name) {
        DuiLib::CControlUI* control = frame->PaintManager().FindControl(name);
        ASSERT_NE(control, nullptr) << Narrow(name);
        frame->PaintManager().SendNotify(control, L"click");
    }
    void LimitSpeed(const wchar_t* kiloBytesPerSecond) {
        SendMessageW(frame->GetHWND(), kSpeedLimit, reinterpret_cast<WPARAM>(kiloBytesPerSecond),
                     0);
    }

    size_t CountAsked(const ScriptedPrompt& prompt, const std::wstring& start) {
        size_t n = 0;
        for (const auto& question : prompt.Asked()) {
            n += question.text.rfind(start, 0) == 0 ? 1 : 0;
        }
        return n;
    }

    std::wstring dataFolder;
    std::wstring downloadFolder;
    test::RecordingOpener opener;
    std::vector<std::wstring> reinstalls;  // image paths handed to the reinstall job
    CMainFrame* frame = nullptr;
};

// Every start downloads the catalogue afresh and hangs each edition's address on its
// option; the recommendation and the engine files follow, then the start button is enabled.
TEST_F(OnlineReinstallTest, CatalogueArrivesFreshAtEveryStart) {
    std::vector<std::pair<std::string, std::string>> first, second;
    for (int index = 1; index <= kEditionCount; ++index) {
        const std::string key = Narrow(EditionByIndex(index)->catalogueKey);
        first.emplace_back(key, ImageUrl("v1/" + key + ".GHO"));
        second.emplace_back(key, ImageUrl("v2/" + key + ".GHO"));
    }
    ScriptedPrompt prompt;
    StartAndFetch(CatalogueText(first), &prompt);
    EXPECT_FALSE(Control(L"StartRestoreSystem_Btn") == nullptr);
    for (int index = 1; index <= kEditionCount; ++index) {
        EXPECT_EQ(Narrow(UserData(EditionByIndex(index)->option)), first[index - 1].second);
    }
    EXPECT_NE(Text(L"ChooseOs_Text"), kNoChoiceText) << "the recommendation";
    EXPECT_FALSE(Text(L"tuijian1_text").empty());
    EXPECT_EQ(UserData(L"ChooseOs_Text").rfind(et::ServerUrl("v1/"), 0), 0u);
    EXPECT_TRUE(et::FileExists(dataFolder + L"\\Download\\xldl.dll"));
    EXPECT_TRUE(et::FileExists(dataFolder + L"\\Download\\download\\MiniTPFw.exe"));
    EXPECT_TRUE(prompt.Asked().empty());

    DestroyWindow(frame->GetHWND());
    delete frame;
    frame = nullptr;
    StartAndFetch(CatalogueText(second), &prompt);
    for (int index = 1; index <= kEditionCount; ++index) {
        EXPECT_EQ(Narrow(UserData(EditionByIndex(index)->option)), second[index - 1].second)
            << "a cached copy was used";
    }
}

// The start also fills the software page from its catalogue on the server and sets the
// backup pages' fields: under the data root, the restore field at the stored download folder.
TEST_F(OnlineReinstallTest, StartFillsTheSoftwarePageAndTheBackupFields) {
    ui_core_test::ZipWriter zip;
    const std::wstring ini = L"\xFEFF[KRXT]\r\n3=http://soft.example.cn/three\r\n";
    zip.Add("SoftWareInfo.ini",
            std::string(reinterpret_cast<const char*>(ini.data()), ini.size() * sizeof(wchar_t)));
    const std::vector<uint8_t> archive = zip.Build();
    Serve("SoftWareInfo.zip", std::string(archive.begin(), archive.end()));
    ScriptedPrompt prompt;
    StartAndFetch(CatalogueText({}), &prompt);
    ASSERT_TRUE(PumpUntil([&] { return Control(L"Soft3_Btn")->IsEnabled(); }, 30000));
    EXPECT_EQ(UserData(L"Soft3_Btn"), L"http://soft.example.cn/three");
    EXPECT_EQ(UserData(L"Soft4_Btn"), L"");
    EXPECT_TRUE(et::FileExists(dataFolder + L"\\SoftWareInfo\\SoftWareInfo.ini"));

    SystemDriveSource drives;
    const std::wstring root = DefaultDataRoot(drives, L"C:");
    EXPECT_EQ(Text(L"BackUpPath_Edit"), root + L"QMZSysBak\\SYSBAK.GHO");
    EXPECT_EQ(Text(L"RestorePath_Edit"), downloadFolder);
    EXPECT_EQ(Text(L"BackUpDocPath_Edit"), root + L"QMZDocBak\\Documents");
    EXPECT_EQ(Text(L"RestoreDocPath_Edit"), root + L"QMZDocBak\\Documents");
}

// This program carries the build's vendor key: a catalogue or software archive whose
// signature is missing, another key's, or made before the bytes were altered is a failed
// fetch. The image catalogue says so and keeps the start button disabled; the software page
// stays as the skin made it.
TEST_F(OnlineReinstallTest, CataloguesWithoutTheVendorsSignatureAreNotUsed) {
    ui_core_test::ZipWriter zip;
    const std::wstring ini = L"\xFEFF[KRXT]\r\n3=http://soft.example.cn/three\r\n";
    zip.Add("SoftWareInfo.ini",
            std::string(reinterpret_cast<const char*>(ini.data()), ini.size() * sizeof(wchar_t)));
    const std::vector<uint8_t> archive = zip.Build();
    Serve("SoftWareInfo.zip", std::string(archive.begin(), archive.end()));
    Serve("qmzgho.ini", CatalogueText({{"XP_1", ImageUrl("XP_1.GHO")}}));
    size_t runs = 0;
    for (const char* mode : {"none", "other", "stale"}) {
        SCOPED_TRACE(mode);
        for (const char* name : {"qmzgho.ini", "SoftWareInfo.zip"}) {
            et::ServerGet(std::string("__signature?name=") + name + "&as=" + mode);
        }
        ScriptedPrompt prompt;
        Start(et::ServerUrl("qmzgho.ini"), &prompt);
        ASSERT_TRUE(PumpUntil([&] { return !prompt.Asked().empty(); }, 60000));
        Pump(1500);  // the software job has had its turn as well
        const auto asked = prompt.Asked();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].text, kCatalogueFailed);
        EXPECT_FALSE(Control(L"StartRestoreSystem_Btn")->IsEnabled());
        EXPECT_EQ(UserData(L"OS_Op1"), L"");
        EXPECT_EQ(UserData(L"Soft3_Btn"), L"");
        EXPECT_FALSE(et::FileExists(dataFolder + L"\\ghoinfo.ini")) << "a refused copy is kept";
        ExpectLogged(JobLogText(), {"image catalogue: ", "refused, its signature"});
        // The software job runs on a thread of its own and may still be at it; each run
        // leaves one software line (the log goes on across the runs).
        EXPECT_TRUE(LoggedSoon("software catalogue: ", ++runs)) << JobLogText();
        TearDown();  // the window goes before the prompt it asks with
    }
    // Signed by the vendor, both are used.
    for (const char* name : {"qmzgho.ini", "SoftWareInfo.zip"}) {
        et::ServerGet(std::string("__signature?name=") + name + "&as=vendor");
    }
    ScriptedPrompt prompt;
    StartAndFetch(CatalogueText({{"XP_1", ImageUrl("XP_1.GHO")}}), &prompt);
    EXPECT_EQ(Narrow(UserData(L"OS_Op1")), ImageUrl("XP_1.GHO"));
    ASSERT_TRUE(PumpUntil([&] { return !UserData(L"Soft3_Btn").empty(); }, 30000));
    EXPECT_EQ(UserData(L"Soft3_Btn"), L"http://soft.example.cn/three");
    ExpectLogged(JobLogText(), {"qmzgho.ini fetched, signature verified",
                                "SoftWareInfo.zip fetched, signature verified"});
}

// Missing keys give empty addresses and the job still completes; a value is cut to 259
// characters; a value that is no web address counts as missing and is refused at the
// download request. Every request raises the task number, also one that stops early.
TEST_F(OnlineReinstallTest, PartialCatalogueCutsLongValuesAndRefusesOthersAtTheRequest) {
    const std::string longUrl = ImageUrl("long/" + std::string(300, 'a') + ".GHO");
    ScriptedPrompt prompt;
    StartAndFetch(CatalogueText({{"XP_1", longUrl},
                                 {"WIN7_64_2", "C:\\Windows\\notepad.exe"},
                                 {"WIN10_64_1", ImageUrl("win10.GHO")}}),
                  &prompt);
    EXPECT_EQ(Narrow(UserData(L"OS_Op1")), longUrl.substr(0, 259));
    EXPECT_EQ(UserData(L"OS_Op6"), L"");
    EXPECT_EQ(Narrow(UserData(L"OS_Op9")), ImageUrl("win10.GHO"));
    for (const wchar_t* empty : {L"OS_Op2", L"OS_Op3", L"OS_Op10"}) {
        EXPECT_EQ(UserData(empty), L"");
    }

    Click(L"DownloadSystem2_Btn");  // no edition chosen yet
    Click(L"OS_Op6");
    Click(L"DownloadSystem2_Btn");
    Click(L"OS_Op2");
    Click(L"DownloadSystem1_Btn");
    const auto asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[0].text, kNoChoice);
    EXPECT_EQ(asked[0].caption, L"信息提示");
    EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_ICONERROR));
    for (size_t i : {1, 2}) {
        EXPECT_EQ(asked[i].text, kNoImageAddress);
        EXPECT_EQ(asked[i].caption, L"Korvane一键重装");
        EXPECT_EQ(asked[i].type, static_cast<UINT>(MB_ICONINFORMATION));
    }
    EXPECT_EQ(frame->Online().TaskNumber(), 2u);
    EXPECT_EQ(WizardStep(), 0) << "no download page";
    EXPECT_FALSE(frame->Online().DownloadStarted());
}

// The image's own name must have a "." (a folder with one does not make a file name), and
// a folder too long for the engine's record is refused with a message, not a silent page.
TEST_F(OnlineReinstallTest, RequestRefusesNamesWithoutDotAndFoldersTheEngineCannotTake) {
    ScriptedPrompt prompt;
    StartAndFetch(CatalogueText({{"WIN10_32_2", ImageUrl("images/plain")},
                                 {"WIN10_64_2", ImageUrl("WIN10_64_2.GHO")}}),
                  &prompt);
    const std::wstring dotted = L"D:\\KorvaneOnline\\with.dot";
    CreateDirectoryW(dotted.c_str(), nullptr);
    frame->Online().ChooseEdition(8);
    frame->Online().RequestDownload(dotted);
    frame->Online().ChooseEdition(10);
    frame->Online().RequestDownload(L"D:\\" + std::wstring(300, L'x'));
    RemoveDirectoryW(dotted.c_str());

    const auto asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].text, kNoImageAddress);
    EXPECT_EQ(asked[1].text, L"创建下载任务失败，请检查下载目录设置后重试。");
    EXPECT_EQ(asked[1].caption, L"信息提示");
    EXPECT_EQ(asked[1].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(WizardStep(), 0) << "no download page without a task";
}

// An unreachable server: one message, the start button stays disabled, no recommendation,
// and a download request is refused.
TEST_F(OnlineReinstallTest, ServerDownGivesOneMessageAndKeepsTheStartButtonDisabled) {
    ScriptedPrompt prompt;
    Start(L"http://127.0.0.1:1/yjhy/qmzgho.ini", &prompt);
    ASSERT_TRUE(PumpUntil([&] { return !prompt.Asked().empty(); }, 60000));
    Pump(1500);
    auto asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, kCatalogueFailed);
    EXPECT_EQ(asked[0].caption, L"信息提示");
    EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_FALSE(Control(L"StartRestoreSystem_Btn")->IsEnabled());
    EXPECT_EQ(Text(L"ChooseOs_Text"), kNoChoiceText);
    EXPECT_FALSE(et::FileExists(dataFolder + L"\\Download\\xldl.dll"));

    Click(L"OS_Op3");
    Click(L"DownloadSystem2_Btn");
    asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, kNoChoice);
}

// A whole download through the engine: step 5 shows the path, sizes, speed and time left,
// Option.ini keeps the record and the amount; the completion prompt waits 30 s; No keeps the
// image, and a later click offers the reinstall instead of a second download.
TEST_F(OnlineReinstallTest, DownloadShowsProgressAndOffersTheKeptImageAfterNo) {
    et::MakeServedFile("WIN7_64_2.GHO", 6 * 1048576, 6);
    ScriptedPrompt prompt({IDNO, IDNO});
    StartAndFetch(CatalogueText({{"WIN7_64_2", ImageUrl("WIN7_64_2.GHO")}}), &prompt);
    LimitSpeed(L"1024");  // about six seconds: the monitor sees the transfer run

    Click(L"OS_Op6");
    Click(L"DownloadSystem2_Btn");
    const std::wstring image = downloadFolder + L"\\WIN7_64_2.GHO";
    EXPECT_EQ(WizardStep(), 5);
    EXPECT_TRUE(frame->Online().DownloadStarted());
    EXPECT_EQ(Option(L"Download", L"FileName"), L"WIN7_64_2.GHO");
    EXPECT_EQ(Option(L"Download", L"AllName"), image);
    EXPECT_EQ(Narrow(Option(L"Download", L"Url")), ImageUrl("WIN7_64_2.GHO"));
    EXPECT_EQ(Option(L"Download", L"Path"), downloadFolder);
    EXPECT_EQ(Option(L"Download", L"Staus"), L"0");
    EXPECT_EQ(Text(L"tuijiand_text"), L"您选择的 Windows 7装机版 系统正在下载中,请稍后!");

    ASSERT_TRUE(PumpUntil([&] { return Text(L"DownloadTotal_Text") == L"6.00MB"; }, 20000))
        << "the total is shown once the engine knows it";
    EXPECT_EQ(Text(L"DownloadPath_Text"), image);
    EXPECT_EQ(Text(L"DownloadInstallPath_Text"), L"C:");
    const std::wstring speed = Text(L"DownloadSpeed_Text");
    EXPECT_TRUE(speed.find(L"Kb/s") != std::wstring::npos ||
                speed.find(L"Mb/s") != std::wstring::npos)
        << Narrow(speed);
    EXPECT_EQ(Text(L"DownloadState_Text").rfind(L"剩余时间：", 0), 0u);
    EXPECT_TRUE(Control(L"DownloadState_Text")->IsVisible()) << "the time left is shown";
    EXPECT_FALSE(Option(L"Download", L"Size6").empty());

    ASSERT_TRUE(PumpUntil([&] { return CountAsked(prompt, L"\"") == 1; }, 60000));
    Pump(300);
    auto asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, std::wstring(L"\"WIN7_64_2.GHO") + kCompletionTail);
    EXPECT_EQ(asked[0].caption, L"信息提示");
    EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
    EXPECT_EQ(asked[0].timeoutMs, 30000u);
    EXPECT_EQ(Option(L"Download", L"Staus"), L"1");
    EXPECT_EQ(static_cast<DuiLib::CProgressUI*>(Control(L"Download_Progress"))->GetValue(), 100);
    EXPECT_EQ(Option(L"Download", L"Size6"), L"6.00MB");
    EXPECT_EQ(Text(L"DownloadAlready_Text"), L"6.00MB");
    EXPECT_EQ(et::Sha256OfFile(image), et::Sha256OfFile(et::ServerRoot() + L"\\WIN7_64_2.GHO"));
    EXPECT_TRUE(reinstalls.empty()) << "No was answered";

    Click(L"DownloadSystem2_Btn");
    asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, kImageExists);
    EXPECT_EQ(asked[1].caption, L"Korvane一键重装");
    EXPECT_EQ(asked[1].type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
    EXPECT_TRUE(reinstalls.empty());
    EXPECT_EQ(frame->Online().TaskNumber(), 2u);

    // The job log tells what happened, step by step.
    ExpectLogged(JobLogText(), {" of 10 editions have an image address",
                                "image catalogue: the start button", "software catalogue: ",
                                "download: task 1 started, ", "download: task 1 finished, ",
                                "6291456 bytes", "question [信息提示] \"WIN7_64_2.GHO\" 下载完成",
                                "-> No", "question [Korvane一键重装] 系统已存在"});
}

// Pause shows the fixed "0 Mb/s" and moves no bytes; resume goes on; re-choose deletes the
// task and goes back to step 1.
TEST_F(OnlineReinstallTest, PauseMovesNoBytesAndReChooseGoesBackToStepOne) {
    et::MakeServedFile("XP_1.GHO", 32 * 1048576, 1);
    ScriptedPrompt prompt({IDOK});
    StartAndFetch(CatalogueText({{"XP_1", ImageUrl("XP_1.GHO")}}), &prompt);
    LimitSpeed(L"256");
    Click(L"OS_Op1");
    Click(L"DownloadSystem1_Btn");
    ASSERT_TRUE(PumpUntil([&] { return !Text(L"DownloadAlready_Text").empty(); }, 20000));

    Click(L"StopDown_Btn");
    EXPECT_EQ(Control(L"StopDown_Btn")->GetTag(), 1u);
    Pump(2500);
    EXPECT_EQ(Text(L"DownloadSpeed_Text"), L"0 Mb/s");
    const std::int64_t paused = et::ServerStat("XP_1.GHO", "bytes");
    Pump(3000);
    EXPECT_EQ(et::ServerStat("XP_1.GHO", "bytes"), paused) << "a paused task moved bytes";
    EXPECT_EQ(Text(L"DownloadSpeed_Text"), L"0 Mb/s");

    Click(L"StopDown_Btn");
    EXPECT_EQ(Control(L"StopDown_Btn")->GetTag(), 0u);
    EXPECT_TRUE(PumpUntil([&] { return et::ServerStat("XP_1.GHO", "bytes") > paused; }, 10000))
        << "resume did not go on";

    Click(L"ReChoose_Btn");
    const auto asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, L"正在下载系统，是否重新选择系统？");
    EXPECT_EQ(asked[0].caption, L"Korvane一键重装系统");
    EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_OKCANCEL | MB_ICONINFORMATION));
    EXPECT_EQ(WizardStep(), 1);
    Pump(1500);
    const std::int64_t deleted = et::ServerStat("XP_1.GHO", "bytes");
    Pump(2500);
    EXPECT_EQ(et::ServerStat("XP_1.GHO", "bytes"), deleted) << "the task was not deleted";
    ExpectLogged(JobLogText(), {"download: task 1 paused", "download: task 1 resumed",
                                "download: task 1 deleted (re-choose)", "-> OK"});
}

// After a re-choose, the first monitor is over: the next download gets exactly one
// completion prompt, not one from each monitor.
TEST_F(OnlineReinstallTest, ReChooseEndsTheMonitorSoTheNextDownloadPromptsOnce) {
    et::MakeServedFile("XP_2.GHO", 32 * 1048576, 2);
    et::MakeServedFile("WIN10_32_1.GHO", 2 * 1048576, 7);
    ScriptedPrompt prompt({IDOK, IDNO, IDNO});
    StartAndFetch(
        CatalogueText({{"XP_2", ImageUrl("XP_2.GHO")}, {"WIN10_32_1", ImageUrl("WIN10_32_1.GHO")}}),
        &prompt);
    LimitSpeed(L"256");
    Click(L"OS_Op2");
    Click(L"DownloadSystem1_Btn");
    ASSERT_TRUE(PumpUntil([&] { return !Text(L"DownloadAlready_Text").empty(); }, 20000));
    Click(L"ReChoose_Btn");

    LimitSpeed(L"1024");
    Click(L"OS_Op7");
    Click(L"DownloadSystem3_Btn");
    ASSERT_TRUE(PumpUntil([&] { return CountAsked(prompt, L"\"") >= 1; }, 60000));
    Pump(3500);
    EXPECT_EQ(CountAsked(prompt, L"\""), 1u) << "a second monitor prompted";
    EXPECT_EQ(frame->Online().TaskNumber(), 2u);
}

// A drive too small for the announced size: the disk-space message at once, once, and the
// monitor ends.
TEST_F(OnlineReinstallTest, FullDiskShowsTheDiskSpaceMessageOnce) {
    const std::wstring small = L"T:\\QMZ";
    ASSERT_TRUE(CreateDirectoryW(small.c_str(), nullptr) || et::FileExists(small))
        << "run-online-test maps a small drive as T:";
    ClearFolder(small);
    downloadFolder = small;
    et::MakeServedFile("WIN10_64_2.GHO", 8 * 1048576, 10);
    ScriptedPrompt prompt;
    StartAndFetch(CatalogueText({{"WIN10_64_2", ImageUrl("WIN10_64_2.GHO")}}), &prompt);
    Click(L"OS_Op10");
    Click(L"DownloadSystem3_Btn");
    ASSERT_TRUE(PumpUntil([&] { return !prompt.Asked().empty(); }, 60000));
    Pump(3500);
    const auto asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, kDiskSpace);
    EXPECT_EQ(asked[0].caption, L"信息提示");
    EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_ICONERROR));
    // Refused before the length was claimed: the file system here would have taken the
    // claim and the transfer would have filled the drive.
    EXPECT_EQ(et::FileSize(small + L"\\WIN10_64_2.GHO.kvdl"), 0);
    ClearFolder(small);
}

// The completion prompt left alone for 30 s answers itself, and the reinstall job stages the
// downloaded image and restarts (the stand-in shutdown records it). Real message boxes.
TEST_F(OnlineReinstallTest, CompletionPromptLeftAloneRunsTheReinstall) {
    ASSERT_TRUE(test::WriteFileBytes(L"C:\\boot.ini", test::kXpBootIni));
    et::MakeServedFile("XP_1.GHO", 1048576, 11);
    StartAndFetch(CatalogueText({{"XP_1", ImageUrl("XP_1.GHO")}}), nullptr);
    Click(L"OS_Op1");
    Click(L"DownloadSystem1_Btn");
    const DWORD clicked = GetTickCount();
    ASSERT_TRUE(PumpUntil([&] { return !ShutdownRecord().empty(); }, 90000))
        << "no restart was recorded";
    const DWORD waited = GetTickCount() - clicked;
    EXPECT_GE(waited, 29000u) << "the prompt did not wait";
    EXPECT_EQ(ShutdownRecord(), "shutdown -r -t 0\r\n");
    EXPECT_EQ(reinstalls, std::vector<std::wstring>{downloadFolder + L"\\XP_1.GHO"});
    wchar_t value[64] = {};
    GetPrivateProfileStringW(L"boot loader", L"default", L"", value, 64, L"C:\\boot.ini");
    EXPECT_STREQ(value, L"C:\\krldr.mbr");
    EXPECT_NE(test::ReadFileBytes(L"C:\\Ghost.ba_").find("KorvaneOnline"), std::string::npos);
    EXPECT_TRUE(LoggedSoon("command cmd.exe /c shutdown -r -t 0 -> exit 0")) << JobLogText();
    ExpectLogged(JobLogText(), {"下载完成,是否进行一键重装系统？（30秒后自动开始一键重装） -> no "
                                "answer (timed out)"});
    test::RemoveFile(L"C:\\boot.ini");
    test::RemoveFile(L"C:\\boot.in_");
}

// A program that closes while the monitor's reinstall runs waits for it: the job is never
// cut off with the batch written and the entry half-staged.
TEST_F(OnlineReinstallTest, ClosingWaitsForTheReinstallTheMonitorStarted) {
    ASSERT_TRUE(test::WriteFileBytes(L"C:\\boot.ini", test::kXpBootIni));
    et::MakeServedFile("XP_2.GHO", 1048576, 12);
    ScriptedPrompt prompt({IDYES});
    StartAndFetch(CatalogueText({{"XP_2", ImageUrl("XP_2.GHO")}}), &prompt);
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    frame->SetImageJobObserver([&](CMainFrame::ImageJob, const std::wstring&) {
        SetEvent(started);
        Sleep(2000);  // the job is slow to start: the program closes meanwhile
    });
    Click(L"OS_Op2");
    Click(L"DownloadSystem1_Btn");
    ASSERT_TRUE(PumpUntil([&] { return WaitForSingleObject(started, 0) == WAIT_OBJECT_0; }, 60000));
    frame->EndJobs();
    EXPECT_EQ(ShutdownRecord(), "shutdown -r -t 0\r\n") << "closed before the job ended";
    CloseHandle(started);
    test::RemoveFile(L"C:\\boot.ini");
    test::RemoveFile(L"C:\\boot.in_");
}

// A program that closes while the completion prompt is up starts no reinstall afterwards,
// whatever the answer.
TEST_F(OnlineReinstallTest, ClosingDuringTheCompletionPromptStartsNoReinstall) {
    et::MakeServedFile("WIN7_32_1.GHO", 1048576, 13);
    GatedPrompt prompt({IDYES});
    StartAndFetch(CatalogueText({{"WIN7_32_1", ImageUrl("WIN7_32_1.GHO")}}), &prompt);
    Click(L"OS_Op3");
    Click(L"DownloadSystem2_Btn");
    ASSERT_TRUE(PumpUntil([&] { return prompt.Asking(); }, 60000));
    const DWORD before = GetTickCount();
    frame->EndJobs();
    EXPECT_LT(GetTickCount() - before, 2000u) << "closing waited for the prompt";
    prompt.LetAnswer();
    Pump(2000);
    EXPECT_TRUE(reinstalls.empty());
    EXPECT_TRUE(NothingStagedAt(L"C:\\"));
    EXPECT_EQ(ShutdownRecord(), "");
}

// The wizard's steps through its buttons; an edition option readies its page's download
// button; once a download started, closing asks first and No keeps the program open.
TEST_F(OnlineReinstallTest, WizardStepsEditionButtonsAndTheCloseQuestion) {
    et::MakeServedFile("WIN10_64_1.GHO", 16 * 1048576, 9);
    ScriptedPrompt prompt({IDNO});
    StartAndFetch(CatalogueText({{"WIN10_64_1", ImageUrl("WIN10_64_1.GHO")}}), &prompt);
    EXPECT_EQ(WizardStep(), 0);
    const std::pair<const wchar_t*, int> walk[] = {{L"StartRestoreSystem1_Btn", 1},
                                                   {L"xp_btn", 2},
                                                   {L"back1_btn", 1},
                                                   {L"win7_btn", 3},
                                                   {L"back2_btn", 1},
                                                   {L"win10_btn", 4},
                                                   {L"back3_btn", 1},
                                                   {L"BackToStep1_Btn", 0},
                                                   {L"StartRestoreSystem_Btn", 2}};
    for (const auto& [button, step] : walk) {
        Click(button);
        EXPECT_EQ(WizardStep(), step) << Narrow(button);
    }

    auto* download = static_cast<DuiLib::CButtonUI*>(Control(L"DownloadSystem3_Btn"));
    const std::wstring skinImage = download->GetNormalImage().GetData();
    Click(L"OS_Op9");
    EXPECT_EQ(frame->Online().EditionIndex(), 9);
    EXPECT_NE(skinImage, L"1_22_But1_1.png");
    EXPECT_EQ(std::wstring(download->GetNormalImage().GetData()), L"1_22_But1_1.png");
    EXPECT_EQ(std::wstring(download->GetHotImage().GetData()), L"1_22_But1_2.png");
    EXPECT_EQ(std::wstring(download->GetPushedImage().GetData()), L"1_22_But1_3.png");

    LimitSpeed(L"256");
    Click(L"DownloadSystem3_Btn");
    EXPECT_EQ(WizardStep(), 5);
    Click(L"close11_btn");
    const auto asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, L"正在下载安装系统，是否退出？");
    EXPECT_EQ(asked[0].caption, L"Korvane一键重装系统");
    EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "No must not quit";
}

// Amounts recorded by an earlier run mark their editions and families at start-up.
TEST_F(OnlineReinstallTest, RecordedAmountsMarkUnfinishedDownloads) {
    OptionsStore options(dataFolder + L"\\Option.ini");
    options.WriteOption(L"Download", L"Size1", L"12.50MB");
    options.WriteOption(L"Download", L"Size2", L"1.00GB");
    options.WriteOption(L"Download", L"Size8", L"3.00MB");
    ScriptedPrompt prompt;
    StartAndFetch(CatalogueText({{"XP_1", ImageUrl("XP_1.GHO")}}), &prompt);
    const std::pair<const wchar_t*, const wchar_t*> shown[] = {{L"tips1_label", L"已下载12.50MB"},
                                                               {L"tips2_label", L"已下载1.00GB"},
                                                               {L"tips8_label", L"已下载3.00MB"},
                                                               {L"tips11_label", L"有未完下载"},
                                                               {L"tips13_label", L"有未完下载"}};
    for (const auto& [label, text] : shown) {
        ASSERT_NE(Control(label), nullptr) << Narrow(label);
        EXPECT_TRUE(Control(label)->IsVisible()) << Narrow(label);
        EXPECT_EQ(Text(label), text) << Narrow(label);
    }
    for (const wchar_t* hidden : {L"tips3_label", L"tips9_label", L"tips12_label"}) {
        EXPECT_FALSE(Control(hidden)->IsVisible()) << Narrow(hidden);
    }
}

// On Windows 6.x the partition-style probe runs. Under Wine it always judges the first disk
// non-MBR (Wine's cmd), so this run shows the refusal: the message, the PE page, no
// recommendation, and the start button stays disabled.
TEST_F(OnlineReinstallTest, Nt6ProbeRefusalKeepsTheStartButtonDisabled) {
    ScriptedPrompt prompt;
    Serve("qmzgho.ini", CatalogueText({{"WIN7_64_1", ImageUrl("WIN7_64_1.GHO")}}));
    Start(et::ServerUrl("qmzgho.ini"), &prompt);
    ASSERT_TRUE(PumpUntil([&] { return !prompt.Asked().empty(); }, 60000));
    Pump(1500);
    const auto asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, ProbeRefusalMessage(ProbeVerdict::kFirstDiskNotMbr));
    EXPECT_EQ(opener.Opened(), std::vector<std::wstring>{et::ServerUrl("pe/")});
    EXPECT_EQ(Narrow(UserData(L"OS_Op5")), ImageUrl("WIN7_64_1.GHO")) << "read before the probe";
    EXPECT_EQ(Text(L"ChooseOs_Text"), kNoChoiceText);
    EXPECT_FALSE(Control(L"StartRestoreSystem_Btn")->IsEnabled());
    EXPECT_FALSE(et::FileExists(dataFolder + L"\\Download\\xldl.dll"));
}

// Ghost rewrites the system partition while it reads the image: a download folder there is
// refused before anything is fetched or recorded. A hash entry that is no SHA-256 leaves the
// image unverifiable and is refused like a missing address.
TEST_F(OnlineReinstallTest, RequestRefusesASystemPartitionFolderAndAMalformedHash) {
    downloadFolder = L"C:\\KorvaneOnlineOnC";
    ScriptedPrompt prompt;
    StartAndFetch(CatalogueText({{"WIN10_64_1", ImageUrl("SYSPART.GHO")},
                                 {"WIN10_64_2", ImageUrl("BADHASH.GHO")}}) +
                      HashSection({{"WIN10_64_2", "not-a-sha-256"}}),
                  &prompt);
    Click(L"OS_Op9");
    Click(L"DownloadSystem3_Btn");
    Click(L"OS_Op10");
    Click(L"DownloadSystem3_Btn");
    const auto asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].text, SystemPartitionRefusal(ImageUse::kDownload, L"C:"));
    EXPECT_EQ(asked[0].caption, L"信息提示");
    EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(asked[1].text, kNoImageAddress);
    EXPECT_FALSE(frame->Online().DownloadStarted());
    EXPECT_EQ(Option(L"Download", L"FileName"), L"") << "nothing recorded";
    EXPECT_EQ(et::ServerStat("SYSPART.GHO", "requests"), 0);
    EXPECT_TRUE(LoggedSoon("SHA256 entry of WIN10_64_2 is no SHA-256")) << JobLogText();
}

// A download whose bytes match the catalogue's SHA-256 is checked on step 5 before the
// completion prompt. The file that matched is remembered by its size and time: the next
// click offers it without reading it again (bytes altered behind the same size and time go
// unseen, which only a second read would notice).
TEST_F(OnlineReinstallTest, AMatchingDownloadIsCheckedOnceThenOffered) {
    et::MakeServedFile("WIN7_64_1.GHO", 3 * 1048576, 21);
    const std::string hash = et::Sha256OfFile(et::ServerRoot() + L"\\WIN7_64_1.GHO");
    ScriptedPrompt prompt({IDNO, IDNO});
    StartAndFetch(CatalogueText({{"WIN7_64_1", ImageUrl("WIN7_64_1.GHO")}}) +
                      HashSection({{"WIN7_64_1", Upper(hash)}}),
                  &prompt);
    Click(L"OS_Op5");
    Click(L"DownloadSystem2_Btn");
    ASSERT_TRUE(PumpUntil([&] { return CountAsked(prompt, L"\"") == 1; }, 60000));
    EXPECT_EQ(prompt.Asked().size(), 1u);
    EXPECT_EQ(Text(L"DownloadState_Text"), std::wstring(kImageCheckText) + L" 100%");
    EXPECT_EQ(Option(L"Download", L"Staus"), L"1");
    EXPECT_TRUE(LoggedSoon("WIN7_64_1.GHO matches the catalogue's SHA-256")) << JobLogText();

    const std::wstring image = downloadFolder + L"\\WIN7_64_1.GHO";
    AlterKeepingSizeAndTime(image);
    Click(L"DownloadSystem2_Btn");
    const auto asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, kImageExists) << "asked at once, without a check";
    EXPECT_TRUE(LoggedSoon("WIN7_64_1.GHO matched before and is unchanged")) << JobLogText();
    EXPECT_TRUE(et::FileExists(image));
}

// A download whose bytes do not match is set aside as ".bad", told, and never staged; the
// next click fetches it again instead of offering what was set aside.
TEST_F(OnlineReinstallTest, AMismatchingDownloadIsSetAsideAndNeverStaged) {
    et::MakeServedFile("WIN10_32_1.GHO", 2 * 1048576, 22);
    ScriptedPrompt prompt({IDYES, IDYES, IDYES});
    StartAndFetch(CatalogueText({{"WIN10_32_1", ImageUrl("WIN10_32_1.GHO")}}) +
                      HashSection({{"WIN10_32_1", std::string(64, 'a')}}),
                  &prompt);
    Click(L"OS_Op7");
    Click(L"DownloadSystem3_Btn");
    ASSERT_TRUE(PumpUntil([&] { return !prompt.Asked().empty(); }, 60000));
    Pump(1000);
    auto asked = prompt.Asked();
    ASSERT_EQ(asked.size(), 1u) << "no completion prompt";
    EXPECT_EQ(asked[0].text, kImageCheckFailed);
    EXPECT_EQ(asked[0].caption, L"信息提示");
    EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_ICONERROR));
    const std::wstring image = downloadFolder + L"\\WIN10_32_1.GHO";
    EXPECT_FALSE(et::FileExists(image));
    EXPECT_EQ(et::Sha256OfFile(image + L".bad"),
              et::Sha256OfFile(et::ServerRoot() + L"\\WIN10_32_1.GHO"));
    EXPECT_TRUE(reinstalls.empty());
    EXPECT_FALSE(et::FileExists(L"C:\\Ghost.ba_"));
    EXPECT_EQ(ShutdownRecord(), "");
    EXPECT_EQ(Option(L"Download", L"Staus"), L"0");
    EXPECT_TRUE(LoggedSoon("does not match the catalogue's SHA-256, set aside as .bad"))
        << JobLogText();

    const std::int64_t requests = et::ServerStat("WIN10_32_1.GHO", "requests");
    Click(L"DownloadSystem3_Btn");
    EXPECT_EQ(WizardStep(), 5) << "a new download, not the offer of the set-aside file";
    ASSERT_TRUE(PumpUntil([&] { return prompt.Asked().size() == 2; }, 60000));
    EXPECT_EQ(prompt.Asked()[1].text, kImageCheckFailed);
    EXPECT_GT(et::ServerStat("WIN10_32_1.GHO", "requests"), requests);
    EXPECT_TRUE(reinstalls.empty());
}

// An image already in the download folder that matched no check yet is checked on step 5
// first: a good one is offered and Yes reinstalls from it; a bad one is set aside, told,
// and the edition page comes back.
TEST_F(OnlineReinstallTest, AnImageAlreadyThereIsCheckedBeforeItIsOffered) {
    ASSERT_TRUE(test::WriteFileBytes(L"C:\\boot.ini", test::kXpBootIni));
    const std::wstring good = downloadFolder + L"\\THERE1.GHO";
    const std::wstring bad = downloadFolder + L"\\THERE2.GHO";
    ASSERT_TRUE(test::WriteFileBytes(good, std::string(3 * 1048576 + 5, 'g')));
    ASSERT_TRUE(test::WriteFileBytes(bad, std::string(1048576, 'b')));
    ScriptedPrompt prompt({IDYES});
    StartAndFetch(
        CatalogueText({{"XP_1", ImageUrl("THERE1.GHO")}, {"XP_2", ImageUrl("THERE2.GHO")}}) +
            HashSection({{"XP_1", et::Sha256OfFile(good)}, {"XP_2", et::Sha256OfFile(good)}}),
        &prompt);
    Click(L"OS_Op1");
    Click(L"DownloadSystem1_Btn");
    EXPECT_EQ(WizardStep(), 5) << "the check shows on the progress page";
    ASSERT_TRUE(PumpUntil([&] { return reinstalls.size() == 1; }, 30000));
    EXPECT_EQ(prompt.Asked()[0].text, kImageExists);
    EXPECT_EQ(reinstalls[0], good);
    EXPECT_TRUE(LoggedSoon("THERE1.GHO matches the catalogue's SHA-256")) << JobLogText();
    EXPECT_EQ(et::ServerStat("THERE1.GHO", "requests"), 0);
    EXPECT_TRUE(PumpUntil([&] { return !ShutdownRecord().empty(); }, 30000));

    Click(L"OS_Op2");
    Click(L"DownloadSystem1_Btn");
    ASSERT_TRUE(PumpUntil([&] { return prompt.Asked().size() == 2; }, 30000));
    EXPECT_EQ(prompt.Asked()[1].text, kImageCheckFailed);
    EXPECT_TRUE(PumpUntil([&] { return WizardStep() == 2; }, 10000)) << "back to the XP page";
    EXPECT_TRUE(et::FileExists(bad + L".bad"));
    EXPECT_FALSE(et::FileExists(bad));
    EXPECT_EQ(reinstalls.size(), 1u);
    test::RemoveFile(L"C:\\boot.ini");
    test::RemoveFile(L"C:\\boot.in_");
}

}  // namespace
}  // namespace korvane
