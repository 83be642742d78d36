#include "tests/integration/engine/engine_test_support.h"

#include <winsock2.h>
#include <iphlpapi.h>
#include <wincrypt.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

// Hidden by the XP-level headers; the test hosts all have it.
#ifndef CALG_SHA_256
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)
#endif

namespace korvane::enginetest {

namespace {

template <typename T>
bool Resolve(HMODULE m, const char* name, T* fn) {
    *fn = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(m, name)));
    return *fn != nullptr;
}

}  // namespace

std::string EnvText(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

std::wstring HostToWindows(const std::string& unixPath) {
    std::wstring out = L"Z:";
    for (char c : unixPath) {
        out += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return out;
}

std::wstring BuiltFilePath(const std::string& relative) {
    return HostToWindows(EnvText("KORVANE_BUILD_DIR") + "/" + relative);
}

std::wstring BuiltDllPath() {
    return BuiltFilePath("engine/xldl.dll");
}

bool LoadXl(XlApi* api, const std::wstring& path) {
    api->module = LoadLibraryW(path.empty() ? BuiltDllPath().c_str() : path.c_str());
    if (api->module == nullptr) {
        return false;
    }
    HMODULE m = api->module;
    return Resolve(m, "XL_Init", &api->Init) && Resolve(m, "XL_UnInit", &api->UnInit) &&
           Resolve(m, "XL_CreateTask", &api->CreateTask) &&
           Resolve(m, "XL_DeleteTask", &api->DeleteTask) &&
           Resolve(m, "XL_StartTask", &api->StartTask) &&
           Resolve(m, "XL_StopTask", &api->StopTask) &&
           Resolve(m, "XL_QueryTaskInfo", &api->QueryTaskInfo) &&
           Resolve(m, "XL_QueryTaskInfoEx", &api->QueryTaskInfoEx) &&
           Resolve(m, "XL_SetSpeedLimit", &api->SetSpeedLimit) &&
           Resolve(m, "XL_SetUploadSpeedLimit", &api->SetUploadSpeedLimit) &&
           Resolve(m, "XL_DelTempFile", &api->DelTempFile) &&
           Resolve(m, "XL_SetProxy", &api->SetProxy) &&
           Resolve(m, "XL_SetUserAgent", &api->SetUserAgent) &&
           Resolve(m, "XL_GetFileSizeWithUrl", &api->GetFileSizeWithUrl) &&
           Resolve(m, "XL_ParseThunderPrivateUrl", &api->ParseThunderPrivateUrl) &&
           Resolve(m, "XL_SetAdditionInfo", &api->SetAdditionInfo) &&
           Resolve(m, "XL_SetFileIdAndSize", &api->SetFileIdAndSize);
}

std::wstring SharedRateServerUrl(const std::string& nameAndQuery) {
    std::string port = EnvText("KORVANE_TEST_SHARED_RATE_PORT");
    if (port.empty()) {
        return std::wstring();
    }
    std::string url = "http://127.0.0.1:" + port + "/" + nameAndQuery;
    return std::wstring(url.begin(), url.end());
}

int ConnectionsToPort(int port) {
    std::vector<char> table(1 << 16);
    ULONG size = static_cast<ULONG>(table.size());
    if (GetTcpTable(reinterpret_cast<MIB_TCPTABLE*>(table.data()), &size, FALSE) != NO_ERROR) {
        return -1;
    }
    const MIB_TCPTABLE* rows = reinterpret_cast<const MIB_TCPTABLE*>(table.data());
    int count = 0;
    for (DWORD i = 0; i < rows->dwNumEntries; ++i) {
        const MIB_TCPROW& row = rows->table[i];
        if (row.dwState == MIB_TCP_STATE_ESTAB &&
            ntohs(static_cast<u_short>(row.dwRemotePort)) == port) {
            ++count;
        }
    }
    return count;
}

bool ServerAvailable() {
    return !EnvText("KORVANE_TEST_SERVER_PORT").empty();
}

std::wstring ServerUrl(const std::string& nameAndQuery) {
    std::string url =
        "http://127.0.0.1:" + EnvText("KORVANE_TEST_SERVER_PORT") + "/" + nameAndQuery;
    return std::wstring(url.begin(), url.end());
}

std::wstring ServerRoot() {
    return HostToWindows(EnvText("KORVANE_TEST_SERVER_ROOT"));
}

std::string ServerGet(const std::string& target) {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port =
        htons(static_cast<u_short>(std::atoi(EnvText("KORVANE_TEST_SERVER_PORT").c_str())));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
        std::string request =
            "GET /" + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        send(s, request.data(), static_cast<int>(request.size()), 0);
        char buffer[4096];
        int n;
        while ((n = recv(s, buffer, sizeof(buffer), 0)) > 0) {
            response.append(buffer, static_cast<std::size_t>(n));
        }
    }
    closesocket(s);
    std::size_t body = response.find("\r\n\r\n");
    return body == std::string::npos ? std::string() : response.substr(body + 4);
}

std::int64_t ServerStat(const std::string& name, const char* key) {
    std::string json = ServerGet("__stats?name=" + name);
    std::string needle = std::string("\"") + key + "\": ";
    std::size_t at = json.find(needle);
    return at == std::string::npos ? -1 : std::atoll(json.c_str() + at + needle.size());
}

void MakeServedFile(const std::string& name, std::int64_t size, std::uint32_t seed) {
    std::wstring path = ServerRoot() + L"\\" + std::wstring(name.begin(), name.end());
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    std::vector<std::uint32_t> block(256 * 1024);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::int64_t done = 0; done < size;) {
        for (auto& w : block) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            w = x;
        }
        DWORD n = static_cast<DWORD>(std::min<std::int64_t>(size - done, block.size() * 4));
        DWORD written = 0;
        WriteFile(f, block.data(), n, &written, nullptr);
        done += n;
    }
    CloseHandle(f);
}

std::string Sha256OfFile(const std::wstring& path) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    std::string hex;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return "missing";
    }
    if (CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
        CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) {
        std::vector<BYTE> buffer(1 << 20);
        DWORD read = 0;
        while (ReadFile(f, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) &&
               read > 0) {
            CryptHashData(hash, buffer.data(), read, 0);
        }
        BYTE digest[32];
        DWORD len = sizeof(digest);
        if (CryptGetHashParam(hash, HP_HASHVAL, digest, &len, 0)) {
            static const char kHex[] = "0123456789abcdef";
            for (DWORD i = 0; i < len; ++i) {
                hex += kHex[digest[i] >> 4];
                hex += kHex[digest[i] & 15];
            }
        }
        CryptDestroyHash(hash);
    }
    if (provider != 0) {
        CryptReleaseContext(provider, 0);
    }
    CloseHandle(f);
    return hex.empty() ? "unhashed" : hex;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::int64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return -1;
    }
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring FreshFolder(const std::wstring& name) {
    std::wstring folder = ServerRoot() + L"\\dl-" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                DeleteFileW((folder + L"\\" + found.cFileName).c_str());
            }
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    return folder;
}

std::vector<unsigned char> MakeTaskParams(const std::wstring& url, const std::wstring& fileName,
                                          const std::wstring& folder, std::int32_t connections,
                                          std::int32_t resume) {
    std::vector<unsigned char> record(xldl::kTaskParamSize, 0);
    auto put = [&](std::size_t offset, const std::wstring& text) {
        std::memcpy(record.data() + offset, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    };
    put(xldl::kParamUrlOffset, url);
    put(xldl::kParamFileNameOffset, fileName);
    put(xldl::kParamSaveFolderOffset, folder);
    std::int32_t values[] = {0, 0, connections, 0, resume};
    std::size_t offsets[] = {xldl::kParamReserved18096Offset, xldl::kParamReserved18356Offset,
                             xldl::kParamConnectionsOffset, xldl::kParamReserved18364Offset,
                             xldl::kParamResumeOffset};
    for (int i = 0; i < 5; ++i) {
        std::memcpy(record.data() + offsets[i], &values[i], 4);
    }
    return record;
}

TaskInfo Query(const XlApi& api, HANDLE task) {
    std::vector<unsigned char> record(1432, 0);
    std::int32_t stopped = xldl::kStateStopped;
    std::memcpy(record.data(), &stopped, 4);
    api.QueryTaskInfoEx(task, record.data());
    TaskInfo info;
    std::memcpy(&info.state, record.data() + xldl::kInfoStateOffset, 4);
    std::memcpy(&info.failure, record.data() + xldl::kInfoFailureOffset, 4);
    info.fileName = reinterpret_cast<const wchar_t*>(record.data() + xldl::kInfoFileNameOffset);
    std::memcpy(&info.total, record.data() + xldl::kInfoTotalOffset, 8);
    std::memcpy(&info.downloaded, record.data() + xldl::kInfoDownloadedOffset, 8);
    std::memcpy(&info.fraction, record.data() + xldl::kInfoFractionOffset, 4);
    std::memcpy(&info.speed, record.data() + xldl::kInfoSpeedOffset, 4);
    return info;
}

TaskInfo WaitUntil(const XlApi& api, HANDLE task, double seconds,
                   const std::function<bool(const TaskInfo&)>& done) {
    DWORD start = GetTickCount();
    TaskInfo info = Query(api, task);
    while (!done(info) && (GetTickCount() - start) < seconds * 1000) {
        Sleep(50);
        info = Query(api, task);
    }
    return info;
}

}  // namespace korvane::enginetest
