// The adapter against the real xldl.dll: the records we build are the records it reads,
// and every operation reaches the task its request created, also after a request that
// created none. A small loopback server of our own serves one file.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "reinstall/download_library.h"
#include "test_folders.h"

namespace korvane {
namespace {

using testing_support::FileExists;
using testing_support::NewTempFolder;
using testing_support::ReadWholeFile;
using testing_support::WinePath;

class SilentPrompt : public UserPrompt {
  public:
    int Ask(const std::wstring& text, const std::wstring&, UINT) override {
        ADD_FAILURE() << "unexpected message box";
        (void)text;
        return IDOK;
    }
    int AskTimed(const std::wstring& text, const std::wstring& caption, UINT type,
                 DWORD) override {
        return Ask(text, caption, type);
    }
};

// Serves one body to every request, whole, one connection at a time (no ranges).
class OneFileServer {
  public:
    explicit OneFileServer(std::string body) : body_(std::move(body)) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        int length = sizeof(address);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        listen(listener_, 8);
        thread_ = std::thread([this] { Serve(); });
    }
    ~OneFileServer() {
        stopping_ = true;
        closesocket(listener_);
        thread_.join();
        WSACleanup();
    }
    std::wstring Url(const std::wstring& name) const {
        return L"http://127.0.0.1:" + std::to_wstring(port_) + L"/" + name;
    }

  private:
    void Serve() {
        while (!stopping_) {
            SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET) {
                return;
            }
            std::string request;
            char buffer[2048];
            while (request.find("\r\n\r\n") == std::string::npos) {
                int n = recv(client, buffer, sizeof(buffer), 0);
                if (n <= 0) {
                    break;
                }
                request.append(buffer, n);
            }
            bool head = request.compare(0, 5, "HEAD ") == 0;
            std::string reply =
                "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body_.size()) +
                "\r\nContent-Type: application/octet-stream\r\n"
                "Connection: close\r\n\r\n";
            if (!head) {
                reply += body_;
            }
            for (size_t sent = 0; sent < reply.size();) {
                int n = send(client, reply.data() + sent, static_cast<int>(reply.size() - sent), 0);
                if (n <= 0) {
                    break;
                }
                sent += n;
            }
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }

    std::string body_;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

class RealEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::wstring root = NewTempFolder(L"kv-real-engine");
        appData_ = root + L"\\QMZXT";
        saveFolder_ = root + L"\\images";
        CreateDirectoryW(appData_.c_str(), nullptr);
        CreateDirectoryW((appData_ + L"\\Download").c_str(), nullptr);
        CreateDirectoryW(saveFolder_.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(WinePath(KORVANE_ENGINE_DLL).c_str(),
                              (appData_ + L"\\Download\\xldl.dll").c_str(), FALSE));
        library_ = std::make_unique<DownloadLibrary>(appData_, prompt_);
    }

    // Polls like the monitor until the task leaves the states of a running download.
    TaskInfoRecord WaitWhileRunning(std::uint32_t taskNumber) {
        TaskInfoRecord info;
        for (int i = 0; i < 200; ++i) {
            info.Prepare();
            library_->QueryTask(taskNumber, &info);
            if (info.State() == xldl::kStateFinished || info.State() == xldl::kStateFailed) {
                break;
            }
            Sleep(100);
        }
        return info;
    }

    std::wstring appData_;
    std::wstring saveFolder_;
    SilentPrompt prompt_;
    std::unique_ptr<DownloadLibrary> library_;
};

TEST_F(RealEngineTest, DownloadsThroughTheAdapterAndReportsTheFinishedFile) {
    std::string body;
    for (unsigned i = 0; i < 300000; ++i) {
        body += static_cast<char>((i * 7919u) >> 3);
    }
    OneFileServer server(body);
    ASSERT_TRUE(library_->CreateAndStartTask(1, server.Url(L"Win7.GHO"), L"Win7.GHO", saveFolder_));
    TaskInfoRecord info = WaitWhileRunning(1);
    ASSERT_EQ(xldl::kStateFinished, info.State());
    EXPECT_EQ(L"Win7.GHO", info.FileName());
    EXPECT_EQ(static_cast<std::int64_t>(body.size()), info.TotalBytes());
    EXPECT_EQ(static_cast<std::int64_t>(body.size()), info.DownloadedBytes());
    EXPECT_TRUE(ReadWholeFile(saveFolder_ + L"\\Win7.GHO") == body);
}

TEST_F(RealEngineTest, TaskNumbersStayWithTheirTasksAfterASkippedRequest) {
    // Nothing listens on port 9: the tasks exist but never get data.
    ASSERT_TRUE(library_->CreateAndStartTask(1, L"http://127.0.0.1:9/first.GHO", L"first.GHO",
                                             saveFolder_));
    // Request 2 found its image on disk and created no task.
    ASSERT_TRUE(library_->CreateAndStartTask(3, L"http://127.0.0.1:9/third.GHO", L"third.GHO",
                                             saveFolder_));

    TaskInfoRecord info;
    library_->QueryTask(3, &info);
    EXPECT_EQ(L"third.GHO", info.FileName());
    info.Prepare();
    library_->QueryTask(1, &info);
    EXPECT_EQ(L"first.GHO", info.FileName());
    info.Prepare();
    library_->QueryTask(2, &info);
    EXPECT_EQ(xldl::kStateStopped, info.State());
    EXPECT_EQ(L"", info.FileName());

    EXPECT_NE(0, library_->StopAndDeleteTask(3));
    info.Prepare();
    library_->QueryTask(3, &info);
    EXPECT_EQ(L"", info.FileName());
    info.Prepare();
    library_->QueryTask(1, &info);
    EXPECT_EQ(L"first.GHO", info.FileName());
    EXPECT_FALSE(FileExists(saveFolder_ + L"\\third.GHO"));
}

}  // namespace
}  // namespace korvane
