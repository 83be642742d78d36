#include "engine/engine_core.h"
#include "engine/utf8_text.h"

#include <vector>

#include "engine/leftover_list.h"
#include "engine/xldl_api.h"

namespace korvane::xldl {

Engine& Engine::Instance() {
    // Never destroyed: at process exit the transfer threads are gone already, and joining
    // them under the loader lock would hang.
    static Engine* engine = new Engine();
    return *engine;
}

std::wstring Engine::CompanionFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&Engine::CompanionFolder), &self);
    wchar_t path[MAX_PATH * 2] = {};
    DWORD n = GetModuleFileNameW(self, path, MAX_PATH * 2);
    std::wstring folder(path, n);
    folder.resize(folder.find_last_of(L'\\') == std::wstring::npos ? 0
                                                                   : folder.find_last_of(L'\\'));
    return folder + L"\\download";
}

std::string Engine::DefaultUserAgent() {
    // id.dat, written beside the engine by the program, names our version and partner id.
    std::wstring idFile = CompanionFolder() + L"\\id.dat";
    wchar_t version[64] = {};
    wchar_t partner[64] = {};
    GetPrivateProfileStringW(L"partner", L"ver", L"1.0", version, 64, idFile.c_str());
    GetPrivateProfileStringW(L"partner", L"id", L"", partner, 64, idFile.c_str());
    std::string agent = "KorvaneDownloader/" + Narrow(version);
    if (partner[0] != 0) {
        agent += " (partner " + Narrow(partner) + ")";
    }
    return agent;
}

bool Engine::Init() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!initialised_) {
        if (!StartNetworking()) {
            return false;
        }
        if (net_.userAgent.empty()) {
            net_.userAgent = DefaultUserAgent();
        }
        initialised_ = true;
    }
    return true;
}

bool Engine::UnInit() {
    std::map<std::uint32_t, std::shared_ptr<DownloadTask>> tasks;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!initialised_) {
            return false;
        }
        tasks.swap(tasks_);
        initialised_ = false;
    }
    for (auto& entry : tasks) {
        entry.second->Stop();  // partial data stays for a later resume
    }
    return true;
}

std::uint32_t Engine::CreateTask(const unsigned char* record) {
    if (record == nullptr) {
        return 0;
    }
    TaskParams params;
    bool valid = ReadTaskParams(record, &params);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!initialised_) {
        return 0;
    }
    std::uint32_t number = ++lastNumber_;
    tasks_[number] = std::make_shared<DownloadTask>(number, std::move(params), valid, *this);
    return number;
}

std::shared_ptr<DownloadTask> Engine::Find(std::uint32_t number) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = tasks_.find(number);
    return it == tasks_.end() ? nullptr : it->second;
}

bool Engine::StartTask(std::uint32_t number) {
    std::shared_ptr<DownloadTask> task = Find(number);
    if (!task) {
        return false;
    }
    // Two tasks must never write one partial file: a newer start takes the file over.
    std::vector<std::shared_ptr<DownloadTask>> rivals;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& entry : tasks_) {
            if (entry.second != task && entry.second->IsRunning() && !task->FinalPath().empty() &&
                lstrcmpiW(entry.second->FinalPath().c_str(), task->FinalPath().c_str()) == 0) {
                rivals.push_back(entry.second);
            }
        }
    }
    for (auto& rival : rivals) {
        rival->Stop();
    }
    task->Start();
    return true;
}

bool Engine::StopTask(std::uint32_t number) {
    std::shared_ptr<DownloadTask> task = Find(number);
    if (!task) {
        return false;
    }
    task->Stop();
    return true;
}

bool Engine::DeleteTask(std::uint32_t number) {
    std::shared_ptr<DownloadTask> task;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = tasks_.find(number);
        if (it == tasks_.end()) {
            return false;
        }
        task = it->second;
        tasks_.erase(it);
    }
    task->Stop();
    task->DeleteData();
    return true;
}

bool Engine::QueryTask(std::uint32_t number, unsigned char* record) {
    std::shared_ptr<DownloadTask> task = Find(number);
    if (!task || record == nullptr) {
        return false;
    }
    task->FillInfo(record);
    return true;
}

bool Engine::SetExpectedSize(std::uint32_t number, std::int64_t size) {
    std::shared_ptr<DownloadTask> task = Find(number);
    if (!task) {
        return false;
    }
    task->SetExpectedSize(size);
    return true;
}

bool Engine::DeleteTempFiles(const unsigned char* record) {
    TaskParams params;
    if (record == nullptr || !ReadTaskParams(record, &params)) {
        return false;
    }
    std::wstring finalPath = FinalPathFor(params.folder, params.fileName);
    if (finalPath.empty()) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& entry : tasks_) {
            if (entry.second->IsRunning() &&
                lstrcmpiW(entry.second->FinalPath().c_str(), finalPath.c_str()) == 0) {
                return false;  // in use by a running task
            }
        }
    }
    bool ok = true;
    for (const std::wstring& path : {PartialPathFor(finalPath), StatePathFor(finalPath)}) {
        if (!DeleteUnlessGone(path)) {
            ok = false;
        }
    }
    return ok;
}

void Engine::SetSpeedLimit(std::int64_t kiloBytesPerSecond) {
    limiter_.SetRate(kiloBytesPerSecond <= 0 ? 0 : kiloBytesPerSecond * 1024);
}

bool Engine::SetProxy(const std::wstring& hostAndPort) {
    std::string text = Narrow(hostAndPort);
    ProxyEndpoint p;
    if (!text.empty() && !ParseProxyEndpoint(text, &p)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    net_.proxyOverride = text;
    return true;
}

void Engine::SetUserAgent(const std::wstring& userAgent) {
    std::string agent = Narrow(userAgent);
    for (char& c : agent) {
        if (c == '\r' || c == '\n') {
            c = ' ';  // a header value cannot carry line breaks
        }
    }
    std::string fallback = agent.empty() ? DefaultUserAgent() : agent;
    std::lock_guard<std::mutex> lock(mutex_);
    net_.userAgent = fallback;
}

NetSettings Engine::CurrentNetSettings() {
    std::lock_guard<std::mutex> lock(mutex_);
    return net_;
}

void Engine::RecordLeftover(const std::wstring& path) {
    AppendLeftover(CompanionFolder(), path);
}

bool Engine::QueryFileSize(const std::wstring& textUrl, std::int64_t* size) {
    Url url;
    if (size == nullptr || !ParseUrl(Narrow(textUrl), &url) || !StartNetworking()) {
        return false;
    }
    NetSettings net = CurrentNetSettings();
    if (net.userAgent.empty()) {
        net.userAgent = DefaultUserAgent();
    }
    AbortList aborts;
    std::atomic<bool> cancel{false};
    std::string error;
    auto stream = OpenHttpFollowingRedirects(&url, 0, 0, net, aborts, cancel, &error);
    if (!stream) {
        return false;
    }
    const ResponseHead& head = stream->Head();
    std::int64_t first = 0, last = 0, total = -1;
    const std::string* range = head.Find("Content-Range");
    if (head.status == 206 && range != nullptr &&
        ParseContentRange(*range, &first, &last, &total) && total >= 0) {
        *size = total;
        return true;
    }
    if (head.status == 200 && ContentLength(head) >= 0 && !IsChunked(head)) {
        *size = ContentLength(head);
        return true;
    }
    return false;
}

}  // namespace korvane::xldl
