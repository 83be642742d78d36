// The message box that answers by itself, through both entry points: the box closed by our
// own timer alone, and TimedMessageBox, which shows user32's MessageBoxTimeoutW where there
// is one (Wine 8 has it, and ignores the time-out). A helper thread finds each box by its
// caption, as a user would see it, and answers it or not.
//
// Under Wine without a window manager a box takes about two seconds to go once it is
// ended (Wine waits for the X window's withdrawal), so no case here bounds how soon a box
// returns after an answer, only that the answer it returns is the right one.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "sysutil/timed_message_box.h"

namespace korvane {
namespace {

using BoxFunction = int (*)(HWND, const wchar_t*, const wchar_t*, UINT, DWORD);

struct Variant {
    const char* name;
    BoxFunction show;
};
const Variant kVariants[] = {
    {"TimedMessageBoxByTimer", TimedMessageBoxByTimer},
    {"TimedMessageBox", TimedMessageBox},
};

constexpr UINT kBoxType = MB_YESNO | MB_ICONINFORMATION;

// A caption no other program of the prefix uses.
std::wstring Caption(const wchar_t* what) {
    return std::wstring(L"kv-timed-box ") + what + L" " + std::to_wstring(GetCurrentProcessId());
}

// Waits on its own thread for the visible box of that caption, leaves it up for holdMs
// and then clicks button on it, unless the box went away by itself before.
class BoxAnswerer {
  public:
    BoxAnswerer(std::wstring caption, int button, DWORD holdMs, HWND owner = nullptr)
        : caption_(std::move(caption)), button_(button), holdMs_(holdMs), owner_(owner) {
        thread_ = std::thread([this] { Run(); });
    }
    ~BoxAnswerer() { Join(); }
    void Join() {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    HWND box() const { return box_.load(); }
    bool answered() const { return answered_.load(); }
    bool ownerWasDisabled() const { return ownerDisabled_.load(); }

  private:
    void Run() {
        const DWORD start = GetTickCount();
        HWND box = nullptr;
        while (!box && GetTickCount() - start < 10000) {
            HWND found = FindWindowW(L"#32770", caption_.c_str());
            if (found && IsWindowVisible(found)) {
                box = found;
            } else {
                Sleep(10);
            }
        }
        if (!box) {
            return;
        }
        box_ = box;
        if (owner_) {
            ownerDisabled_ = !IsWindowEnabled(owner_);
        }
        const DWORD seen = GetTickCount();
        while (GetTickCount() - seen < holdMs_) {
            if (!IsWindow(box)) {
                return;  // it went by itself
            }
            Sleep(10);
        }
        if (IsWindow(box) && IsWindowVisible(box)) {
            answered_ = true;
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(button_, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, button_)));
        }
    }

    std::wstring caption_;
    int button_;
    DWORD holdMs_;
    HWND owner_;
    std::atomic<HWND> box_{nullptr};
    std::atomic<bool> answered_{false};
    std::atomic<bool> ownerDisabled_{false};
    std::thread thread_;
};

BOOL CALLBACK CountVisibleDialog(HWND window, LPARAM counter) {
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (lstrcmpW(cls, L"#32770") == 0 && IsWindowVisible(window)) {
        ++*reinterpret_cast<int*>(counter);
    }
    return TRUE;
}

int VisibleDialogsOfThisThread() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountVisibleDialog, reinterpret_cast<LPARAM>(&count));
    return count;
}

// Says which box TimedMessageBox shows here, so that a failure of its variant says it too.
std::string Describe(const Variant& variant) {
    if (variant.show != TimedMessageBox) {
        return variant.name;
    }
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const bool exported = user32 && GetProcAddress(user32, "MessageBoxTimeoutW");
    return std::string(variant.name) + (exported ? " (user32 exports MessageBoxTimeoutW)"
                                                 : " (user32 has no MessageBoxTimeoutW)");
}

TEST(TimedMessageBox, UnansweredBoxAnswersTimedOutAndIsGone) {
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(Describe(variant));
        const std::wstring caption = Caption(L"unanswered");
        // Clicks 取消 only when the box outstays five seconds, so a broken timer fails here
        // instead of hanging the run.
        BoxAnswerer rescue(caption, IDCANCEL, 5000);
        const DWORD start = GetTickCount();
        // Long enough to be seen by the answerer's polling on a busy machine.
        const int answer =
            variant.show(nullptr, L"没有人回答的提示", caption.c_str(), kBoxType, 1500);
        const DWORD elapsed = GetTickCount() - start;
        rescue.Join();

        EXPECT_EQ(answer, kTimedOutAnswer);
        EXPECT_EQ(answer, 32000);
        EXPECT_NE(rescue.box(), nullptr) << "the box was never on the screen";
        EXPECT_FALSE(rescue.answered()) << "the box stayed until it was clicked";
        EXPECT_GE(elapsed, 1400u) << "closed before its time";
        EXPECT_LT(elapsed, 10000u);
        EXPECT_FALSE(IsWindow(rescue.box())) << "the box window is left behind";
        EXPECT_EQ(VisibleDialogsOfThisThread(), 0);
    }
}

TEST(TimedMessageBox, AnswerBeforeTheTimeOutIsKeptAndItsTimerEndsWithTheBox) {
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(Describe(variant));
        const std::wstring first = Caption(L"answered");
        const DWORD start = GetTickCount();
        {
            BoxAnswerer user(first, IDNO, 100);
            EXPECT_EQ(variant.show(nullptr, L"回答“否”的提示", first.c_str(), kBoxType, 4000),
                      IDNO);
            user.Join();
            EXPECT_TRUE(user.answered());
        }

        // The next box of the thread is an ordinary one, up past the first box's time-out:
        // no timer left behind may close it.
        const std::wstring next = Caption(L"next");
        BoxAnswerer user(next, IDYES, 4000);
        EXPECT_EQ(MessageBoxW(nullptr, L"下一个提示", next.c_str(), kBoxType), IDYES);
        user.Join();
        EXPECT_TRUE(user.answered());
        EXPECT_GT(GetTickCount() - start, 4000u) << "the next box was not up past the time-out";
        EXPECT_EQ(VisibleDialogsOfThisThread(), 0);
    }
}

TEST(TimedMessageBox, ATimeOutClosesOnlyTheBoxOfItsOwnThread) {
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(Describe(variant));
        // Another thread's box, with a long time-out, answered after ours has timed out.
        const std::wstring otherCaption = Caption(L"other thread");
        // Up well past the time our box takes to time out and go (about 2.5 + 2 s).
        BoxAnswerer otherUser(otherCaption, IDYES, 9000);
        int otherAnswer = 0;
        std::thread other([&] {
            otherAnswer =
                variant.show(nullptr, L"另一个线程的提示", otherCaption.c_str(), kBoxType, 20000);
        });
        const DWORD waitStart = GetTickCount();
        while (!otherUser.box() && GetTickCount() - waitStart < 10000) {
            Sleep(10);
        }
        ASSERT_NE(otherUser.box(), nullptr);

        const std::wstring caption = Caption(L"own thread");
        BoxAnswerer rescue(caption, IDCANCEL, 5000);
        // Once ours is up, the other box goes on top, so that it is the first box a look at
        // all windows would find.
        std::atomic<bool> otherOnTop{false};
        std::thread raiser([&] {
            const DWORD start = GetTickCount();
            while (!rescue.box() && GetTickCount() - start < 10000) {
                Sleep(5);
            }
            // Ours may still take the top when it is activated: raise until it stays.
            for (int attempt = 0; attempt < 10 && !otherOnTop; ++attempt) {
                Sleep(100);
                SetWindowPos(otherUser.box(), HWND_TOP, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                Sleep(50);
                for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
                    if (w == otherUser.box() || w == rescue.box()) {
                        otherOnTop = w == otherUser.box();
                        break;
                    }
                }
            }
        });
        EXPECT_EQ(variant.show(nullptr, L"本线程的提示", caption.c_str(), kBoxType, 2500),
                  kTimedOutAnswer);
        EXPECT_FALSE(rescue.answered());
        EXPECT_TRUE(IsWindow(otherUser.box())) << "our time-out closed the other thread's box";

        raiser.join();
        other.join();
        otherUser.Join();
        rescue.Join();
        EXPECT_TRUE(otherOnTop) << "the other box was not above ours when the time ran out";
        EXPECT_TRUE(otherUser.answered());
        EXPECT_EQ(otherAnswer, IDYES);
    }
}

TEST(TimedMessageBox, BoxOfAWorkerThreadOwnedByAWindowOfThisThread) {
    // The completion prompt: the monitor's thread asks, the main window owns the box.
    HWND owner = CreateWindowExW(0, L"STATIC", L"kv-timed-box owner", WS_OVERLAPPEDWINDOW, 50, 50,
                                 300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    ShowWindow(owner, SW_SHOW);
    for (const Variant& variant : kVariants) {
        SCOPED_TRACE(Describe(variant));
        const std::wstring caption = Caption(L"owned");
        BoxAnswerer rescue(caption, IDCANCEL, 5000, owner);
        std::atomic<int> answer{0};
        std::thread worker(
            [&] { answer = variant.show(owner, L"下载完成", caption.c_str(), kBoxType, 1500); });
        // The owner's thread goes on handling its messages, as the UI thread does.
        const DWORD start = GetTickCount();
        while (answer == 0 && GetTickCount() - start < 10000) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        worker.join();
        rescue.Join();
        EXPECT_EQ(answer, kTimedOutAnswer);
        EXPECT_FALSE(rescue.answered());
        EXPECT_TRUE(rescue.ownerWasDisabled()) << "the box was not modal to its owner";
        EXPECT_TRUE(IsWindowEnabled(owner)) << "the owner stays disabled after the time-out";
        EXPECT_FALSE(IsWindow(rescue.box()));
    }
    DestroyWindow(owner);
}

}  // namespace
}  // namespace korvane
