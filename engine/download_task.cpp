#include "engine/download_task.h"
#include "engine/utf8_text.h"

#include <algorithm>
#include <cstring>

#include "engine/xldl_api.h"
#include "sysutil/no_throw.h"

// The records are read and written as bytes: fields may not overlap, texts are UTF-16.
static_assert(sizeof(wchar_t) == 2 && sizeof(float) == 4);
static_assert(korvane::xldl::kParamUrlOffset + korvane::xldl::kParamUrlMaxChars * 2 <=
              korvane::xldl::kParamFileNameOffset);
static_assert(korvane::xldl::kParamFileNameOffset + korvane::xldl::kParamFileNameMaxChars * 2 <=
              korvane::xldl::kParamSaveFolderOffset);
static_assert(korvane::xldl::kParamSaveFolderOffset + korvane::xldl::kParamSaveFolderMaxChars * 2 <=
              korvane::xldl::kParamReserved18096Offset);
static_assert(korvane::xldl::kInfoFileNameOffset + korvane::xldl::kInfoFileNameMaxChars * 2 <=
              korvane::xldl::kInfoTotalOffset);
static_assert(korvane::xldl::kInfoSpeedOffset + 4 <= korvane::xldl::kTaskInfoSize);

namespace korvane::xldl {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDefaultConnections = 5;
constexpr int kMaxConnections = 16;
constexpr std::size_t kBufferBytes = 1 << 20;       // one write per MiB
constexpr std::int64_t kSegmentMinBytes = 4 << 20;  // no segment smaller than this at start
constexpr std::int64_t kStealMinBytes = 2 << 20;    // a split leaves both halves this big
constexpr std::int64_t kAlign = 64 * 1024;
constexpr std::int64_t kSaveEveryBytes = 1 << 20;  // what a crash may cost at most, roughly
// What a power cut may cost. Flushing while the transfer goes on also leaves the final
// flush before the rename only the last stretch to write.
constexpr auto kFlushEvery = std::chrono::seconds(4);
constexpr std::int64_t kFlushEveryBytes = 64 << 20;
constexpr auto kPartialWriteAfter = std::chrono::milliseconds(200);
// The program reports no failure but a local one and never retries a task, so a network
// that is away for a while is waited for: about five minutes without any progress.
constexpr int kMaxFailuresWithoutProgress = 40;
constexpr int kMaxServerErrorRetries = 3;
constexpr int kMaxRestarts = 3;
constexpr int kMaxRedirects = 10;

std::wstring ReadText(const unsigned char* record, std::size_t offset, std::size_t maxChars) {
    std::wstring text;
    for (std::size_t i = 0; i + 1 < maxChars; ++i) {
        wchar_t c;
        std::memcpy(&c, record + offset + i * 2, 2);
        if (c == 0) {
            return text;
        }
        text += c;
    }
    return std::wstring();  // no terminator inside the field: not a text
}

std::int32_t ReadInt32(const unsigned char* record, std::size_t offset) {
    std::int32_t v;
    std::memcpy(&v, record + offset, sizeof(v));
    return v;
}

// Seconds since 1601 at which the system started; two values a few seconds apart mean
// the same boot. GetTickCount wraps after 49.7 days, which only ever makes us more careful.
std::int64_t CurrentBootStamp() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    return static_cast<std::int64_t>(t.QuadPart / 10000000ULL) -
           static_cast<std::int64_t>(GetTickCount() / 1000);
}

// Written in pieces of 256 KiB, the size of the Windows cache manager's views. Under Wine
// on Linux, 1 MiB writes at 1 MiB-aligned offsets make the kernel take large page-cache
// blocks, which we measured three times slower (0.8-1.6 s per GiB against 0.3-0.36 s).
constexpr std::size_t kWritePieceBytes = 256 * 1024;

// Moves the file's position, then writes: each handle is written by one thread at a time
// (the data file by its writer, the state file under the save lock). A write that names
// an OVERLAPPED would cost a round trip to Wine's server every time.
bool WriteAt(HANDLE file, std::int64_t offset, const char* data, std::size_t size) {
    LARGE_INTEGER at;
    at.QuadPart = offset;
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) {
        return false;
    }
    while (size > 0) {
        DWORD chunk = static_cast<DWORD>(std::min(size, kWritePieceBytes));
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool SetFileLength(HANDLE file, std::int64_t length) {
    LARGE_INTEGER at;
    at.QuadPart = length;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

std::int64_t FileLength(HANDLE file) {
    LARGE_INTEGER size;
    return GetFileSizeEx(file, &size) ? size.QuadPart : -1;
}

// Whether the volume of folder has room for bytes more. A volume that cannot be asked is
// given the benefit of the doubt: claiming the length will tell.
bool VolumeCanHold(const std::wstring& folder, std::int64_t bytes) {
    ULARGE_INTEGER available = {};
    if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) {
        return true;
    }
    return available.QuadPart >= static_cast<std::uint64_t>(bytes);
}

bool EnsureFolder(const std::wstring& folder) {
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    std::size_t cut = folder.find_last_of(L"\\/");
    if (cut != std::wstring::npos && cut > 0 && folder[cut - 1] != L':') {
        if (!EnsureFolder(folder.substr(0, cut))) {
            return false;
        }
    }
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool SameValidators(const std::string& a, const std::string& b) {
    return a.empty() || b.empty() || a == b;
}

std::string HeaderOr(const ResponseHead& head, const char* name) {
    const std::string* v = head.Find(name);
    return v != nullptr ? *v : std::string();
}

}  // namespace

bool ReadTaskParams(const unsigned char* record, TaskParams* params) {
    TaskParams p;
    p.url = ReadText(record, kParamUrlOffset, kParamUrlMaxChars);
    p.fileName = ReadText(record, kParamFileNameOffset, kParamFileNameMaxChars);
    p.folder = ReadText(record, kParamSaveFolderOffset, kParamSaveFolderMaxChars);
    p.connections =
        std::clamp<std::int32_t>(ReadInt32(record, kParamConnectionsOffset), 0, kMaxConnections);
    p.resume = ReadInt32(record, kParamResumeOffset) != 0;
    *params = p;
    return !p.url.empty() && !p.fileName.empty() && !p.folder.empty();
}

std::wstring FinalPathFor(const std::wstring& folder, const std::wstring& fileName) {
    if (folder.empty() || fileName.empty() || fileName == L"." || fileName == L".." ||
        fileName.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos) {
        return std::wstring();
    }
    for (wchar_t c : fileName) {
        if (c < 32) {
            return std::wstring();
        }
    }
    std::wstring path = folder;
    if (path.back() != L'\\' && path.back() != L'/') {
        path += L'\\';
    }
    return path + fileName;
}

std::wstring PartialPathFor(const std::wstring& finalPath) {
    return finalPath + L".kvdl";
}
std::wstring StatePathFor(const std::wstring& finalPath) {
    return finalPath + L".kvdl.state";
}

DownloadTask::DownloadTask(std::uint32_t number, TaskParams params, bool paramsValid,
                           TaskHost& host)
    : number_(number), params_(std::move(params)), paramsValid_(paramsValid), host_(host) {
    finalPath_ = FinalPathFor(params_.folder, params_.fileName);
    if (!finalPath_.empty()) {
        partialPath_ = PartialPathFor(finalPath_);
        statePath_ = StatePathFor(finalPath_);
    }
}

DownloadTask::~DownloadTask() {
    Stop();
}

bool DownloadTask::IsRunning() const {
    return running_.load();
}

void DownloadTask::Start() {
    std::lock_guard<std::mutex> lock(lifecycleMutex_);
    if (running_ || state_ == kStateFinished) {
        return;
    }
    if (controller_.joinable()) {
        controller_.join();
    }
    stop_ = false;
    failure_ = 0;
    state_ = kStateDownloading;
    running_ = true;
    controller_ = std::thread([this] { Run(); });
}

void DownloadTask::Stop() {
    std::lock_guard<std::mutex> lock(lifecycleMutex_);
    stop_ = true;
    cancelRun_ = true;
    aborts_.AbortAll();
    if (controller_.joinable()) {
        controller_.join();
    }
    speed_ = 0;
}

bool DownloadTask::DeleteData() {
    std::lock_guard<std::mutex> lock(lifecycleMutex_);
    if (running_ || partialPath_.empty()) {
        return false;
    }
    bool ok = true;
    for (const std::wstring& path : {partialPath_, statePath_}) {
        if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND &&
            GetLastError() != ERROR_PATH_NOT_FOUND) {
            host_.RecordLeftover(path);
            ok = false;
        }
    }
    return ok;
}

void DownloadTask::FillInfo(unsigned char* record) const {
    std::int32_t state = state_.load();
    std::int32_t failure = state == kStateFailed ? failure_.load() : 0;
    std::int64_t total = std::max<std::int64_t>(total_.load(), 0);
    std::int64_t done = downloaded_.load();
    if (state == kStateFinished) {
        total = std::max(total, done);
        done = total;
    }
    float fraction =
        total > 0 ? static_cast<float>(static_cast<double>(done) / static_cast<double>(total))
                  : 0.0f;
    fraction = state == kStateFinished ? 1.0f : std::clamp(fraction, 0.0f, 1.0f);
    std::int32_t speed = state == kStateDownloading ? speed_.load() : 0;
    std::memcpy(record + kInfoStateOffset, &state, 4);
    std::memcpy(record + kInfoFailureOffset, &failure, 4);
    std::size_t chars = std::min(params_.fileName.size(), kInfoFileNameMaxChars - 1);
    std::memcpy(record + kInfoFileNameOffset, params_.fileName.data(), chars * 2);
    std::memset(record + kInfoFileNameOffset + chars * 2, 0, 2);
    std::memcpy(record + kInfoTotalOffset, &total, 8);
    std::memcpy(record + kInfoDownloadedOffset, &done, 8);
    std::memcpy(record + kInfoFractionOffset, &fraction, 4);
    std::memcpy(record + kInfoSpeedOffset, &speed, 4);
}

void DownloadTask::Fail(std::int32_t code) {
    if (!fatal_.exchange(true)) {
        fatalCode_ = code;
    }
    cancelRun_ = true;
    aborts_.AbortAll();
}

void DownloadTask::Run() {
    // The controller thread's entry: a throw inside (memory, mostly) fails the task.
    Outcome outcome = Guarded(Outcome::kFailed, [this] { return Transfer(); });
    partial_.Reset();
    stateFile_.Reset();
    speed_ = 0;
    switch (outcome) {
        case Outcome::kFinished:
            state_ = kStateFinished;
            break;
        case Outcome::kStopped:
            state_ = kStateStopped;
            break;
        default:
            failure_ = fatalCode_.load();
            state_ = kStateFailed;
            break;
    }
    running_ = false;
}

DownloadTask::Outcome DownloadTask::Transfer() {
    fatal_ = false;
    fatalCode_ = kFailureOther;
    if (!paramsValid_ || finalPath_.empty()) {
        return Outcome::kFailed;
    }
    urlText_ = Narrow(params_.url);
    Url parsed;
    if (!ParseUrl(urlText_, &parsed)) {
        return Outcome::kFailed;
    }
    net_ = host_.CurrentNetSettings();
    bootStamp_ = CurrentBootStamp();
    if (!EnsureFolder(params_.folder)) {
        fatalCode_ = kFailureLocalFile;
        return Outcome::kFailed;
    }
    // The state file is held open without write sharing: a second engine (another
    // process) cannot write the same partial file at the same time.
    stateFile_.Reset(CreateFileW(statePath_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!stateFile_.IsValid()) {
        fatalCode_ = GetLastError() == ERROR_SHARING_VIOLATION ? kFailureOther : kFailureLocalFile;
        return Outcome::kFailed;
    }
    partial_.Reset(CreateFileW(partialPath_.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!partial_.IsValid()) {
        fatalCode_ = kFailureLocalFile;
        return Outcome::kFailed;
    }

    // What was kept from before: the newer of the two intact slots.
    ResumeRecord kept;
    bool haveKept = false;
    if (params_.resume) {
        std::vector<char> slots(2 * kResumeSlotBytes);
        DWORD read = 0;
        OVERLAPPED at = {};
        if (ReadFile(stateFile_.Get(), slots.data(), static_cast<DWORD>(slots.size()), &read,
                     &at)) {
            for (int i = 0; i < 2; ++i) {
                std::size_t start = i * kResumeSlotBytes;
                ResumeRecord r;
                if (read > start &&
                    DecodeResumeSlot(slots.data() + start,
                                     std::min<std::size_t>(read - start, kResumeSlotBytes), &r) &&
                    (!haveKept || r.sequence > kept.sequence)) {
                    kept = r;
                    haveKept = true;
                }
            }
        }
        if (haveKept) {
            if (std::llabs(kept.bootStamp - bootStamp_) > 30) {
                kept.remaining = kept.durableRemaining;  // the system restarted meanwhile
            }
            if (kept.url != urlText_ || kept.total < 0 ||
                FileLength(partial_.Get()) != kept.total) {
                haveKept = false;
            }
            sequence_ = kept.sequence;
        }
    }

    for (int restarts = 0;; ++restarts) {
        Outcome o = TransferOnce(&kept, &haveKept);
        if (o != Outcome::kRestart) {
            return o;
        }
        if (restarts >= kMaxRestarts) {
            return Outcome::kFailed;
        }
        haveKept = false;  // the file changed on the server, or a stream without ranges broke
        cancelRun_ = false;
        if (!WaitBackoff(restarts)) {
            return stop_ ? Outcome::kStopped : Outcome::kFailed;
        }
    }
}

std::unique_ptr<HttpStream> DownloadTask::OpenFollowing(std::int64_t first, std::int64_t last,
                                                        bool remember, std::string* error) {
    Url url = url_;
    for (int hop = 0; hop <= kMaxRedirects; ++hop) {
        auto stream = OpenHttp(url, first, last, net_, aborts_, cancelRun_, error);
        if (!stream || !IsRedirect(stream->Head().status)) {
            return stream;
        }
        const std::string* location = stream->Head().Find("Location");
        Url next;
        if (location == nullptr || !ResolveLocation(url, *location, &next)) {
            *error = "redirect without a usable Location";
            return nullptr;
        }
        url = next;
        if (remember) {
            url_ = next;  // the probe's target: later connections go straight there
        }
    }
    *error = "too many redirects";
    return nullptr;
}

bool DownloadTask::WaitBackoff(int failures) {
    auto wait = std::chrono::milliseconds(250LL << std::min(failures, 5));
    auto until = Clock::now() + wait;
    while (Clock::now() < until) {
        if (cancelRun_ || stop_) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !(cancelRun_ || stop_);
}

DownloadTask::Outcome DownloadTask::TransferOnce(ResumeRecord* kept, bool* haveKept) {
    if (stop_) {
        return Outcome::kStopped;
    }
    cancelRun_ = false;
    changed_ = false;
    speed_ = 0;
    aborts_.Reset();
    if (stop_) {  // a stop that came while we reset
        cancelRun_ = true;
        return Outcome::kStopped;
    }
    ParseUrl(urlText_, &url_);
    segments_.clear();
    durable_.clear();
    unsaved_ = 0;

    if (*haveKept) {
        total_ = kept->total;
        downloaded_ = kept->total - MissingBytes(kept->remaining);
        if (kept->remaining.empty()) {
            etag_ = kept->etag;
            lastModified_ = kept->lastModified;
            ranges_ = true;
            return Finish();  // every byte was written before the last run ended
        }
    } else {
        downloaded_ = 0;
        total_ = -1;
    }

    // The first request learns the size, range support and validators.
    std::int64_t first = *haveKept ? kept->remaining[0].first : 0;
    std::int64_t last = *haveKept ? kept->remaining[0].end - 1 : -1;
    std::unique_ptr<HttpStream> probe;
    for (int failures = 0;; ++failures) {
        if (stop_) {
            return Outcome::kStopped;
        }
        std::string error;
        probe = OpenFollowing(first, last, true, &error);
        int status = probe ? probe->Head().status : 0;
        if (status == 200 || status == 206) {
            break;
        }
        if (status == 416) {
            if (*haveKept) {
                return Outcome::kRestart;  // the file shrank on the server
            }
            first = -1;  // an empty file answers 416 to "bytes=0-"
            last = -1;
            continue;
        }
        // A server error may pass; a missing file will not. Connection failures get the
        // most patience.
        bool retry = status == 0 || status >= 500 || status == 408 || status == 429;
        int patience = status == 0 ? kMaxFailuresWithoutProgress : kMaxServerErrorRetries;
        if (stop_) {
            return Outcome::kStopped;
        }
        if (!retry || failures >= patience || !WaitBackoff(failures)) {
            return stop_ ? Outcome::kStopped : Outcome::kFailed;
        }
    }

    const ResponseHead& head = probe->Head();
    std::string etag = HeaderOr(head, "ETag");
    std::string lastModified = HeaderOr(head, "Last-Modified");
    std::int64_t total = -1;
    if (head.status == 206) {
        std::int64_t f = 0, l = 0;
        const std::string* cr = head.Find("Content-Range");
        if (cr == nullptr || !ParseContentRange(*cr, &f, &l, &total) || f != first || total < 0) {
            return Outcome::kFailed;
        }
        ranges_ = true;
        if (*haveKept && (total != kept->total || !SameValidators(etag, kept->etag) ||
                          !SameValidators(lastModified, kept->lastModified))) {
            return Outcome::kRestart;
        }
    } else {
        ranges_ = false;
        total = ContentLength(head);
        if (IsChunked(head)) {
            total = -1;
        }
        *haveKept = false;  // without ranges every run starts at byte 0
        downloaded_ = 0;
    }
    if (expectedSize_ >= 0 && total >= 0 && total != expectedSize_) {
        return Outcome::kFailed;
    }
    etag_ = etag;
    lastModified_ = lastModified;
    total_ = total;

    if (!*haveKept) {
        // Fresh start: claim the whole length now, so a full disk or a 4 GiB volume limit
        // shows before any transfer. Some file systems extend a file without reserving its
        // clusters, so the free space is asked first as well.
        if (!SetFileLength(partial_.Get(), 0) ||
            (total > 0 && (!VolumeCanHold(params_.folder, total) ||
                           !SetFileLength(partial_.Get(), total)))) {
            fatalCode_ = kFailureLocalFile;
            return Outcome::kFailed;
        }
        if (ranges_ && total > 0) {
            std::int64_t count = std::clamp<std::int64_t>(
                total / kSegmentMinBytes, 1,
                params_.connections > 0 ? params_.connections : kDefaultConnections);
            std::int64_t step = (total / count) / kAlign * kAlign;
            for (std::int64_t i = 0; i < count; ++i) {
                Segment s;
                s.pos = s.reserved = i * step;
                s.end = (i + 1 == count) ? total : (i + 1) * step;
                segments_.push_back(s);
            }
        } else {
            Segment s;
            s.end = total >= 0 ? total : INT64_MAX;
            segments_.push_back(s);
        }
    } else {
        for (const ByteRange& r : kept->remaining) {
            Segment s;
            s.pos = s.reserved = r.first;
            s.end = r.end;
            segments_.push_back(s);
        }
    }
    if (total == 0) {
        return Finish();
    }
    segments_[0].owned = true;
    if (*haveKept) {
        // Within the same boot the last run's writes are in the system's cache; the flush
        // below puts them on the disk.
        durable_ = kept->remaining;
    } else {
        durable_ = SnapshotRemaining();
    }
    FlushFileBuffers(partial_.Get());
    SaveRecord(true);

    int workerCount =
        ranges_ ? (params_.connections > 0 ? params_.connections : kDefaultConnections) : 1;
    std::vector<std::thread> workers;
    activeWorkers_ = workerCount;
    {
        std::lock_guard<std::mutex> lock(writeMutex_);
        writerDone_ = false;
        writeFailed_ = false;
    }
    {
        std::lock_guard<std::mutex> lock(flushMutex_);
        flusherDone_ = false;
        unflushed_ = 0;
    }
    auto failed = [this] { Fail(kFailureOther); };
    std::thread writer([this, failed] { GuardedRun([this] { Writer(); }, failed); });
    std::thread flusher;
    try {
        workers.emplace_back([this, &probe, failed] {
            GuardedRun([this, &probe] { Worker(std::move(probe), 0); }, failed);
        });
        for (int i = 1; i < workerCount; ++i) {
            workers.emplace_back(
                [this, failed] { GuardedRun([this] { Worker(nullptr, -1); }, failed); });
        }
        flusher = std::thread([this, failed] { GuardedRun([this] { Flusher(); }, failed); });
    } catch (...) {
        // A thread that could not be started: the ones that run end on the cancel below,
        // and are joined as always.
        Fail(kFailureOther);
    }
    bool done = false;
    samples_.clear();
    while (!done) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        SampleSpeed();
        if (stop_ || fatal_ || changed_) {
            cancelRun_ = true;
            aborts_.AbortAll();
            break;
        }
        done = activeWorkers_ == 0;  // finished, or every worker gave up
    }
    for (std::thread& t : workers) {
        t.join();
    }
    StopWriter();
    writer.join();
    {
        std::lock_guard<std::mutex> lock(flushMutex_);
        flusherDone_ = true;
        flushWake_.notify_one();
    }
    if (flusher.joinable()) {
        flusher.join();
    }
    SaveRecord(true);
    if (changed_ && !stop_) {
        return Outcome::kRestart;
    }
    if (fatal_) {
        return Outcome::kFailed;
    }
    if (stop_) {
        return Outcome::kStopped;
    }
    for (const Segment& s : segments_) {
        if (s.pos < s.end) {
            return Outcome::kFailed;
        }
    }
    return Finish();
}

DownloadTask::Outcome DownloadTask::Finish() {
    std::int64_t length = downloaded_.load();
    if (total_ < 0) {
        total_ = length;  // the body ended with the connection
    }
    if ((total_ >= 0 && length != total_) || !SetFileLength(partial_.Get(), total_) ||
        !FlushFileBuffers(partial_.Get())) {
        fatalCode_ = kFailureLocalFile;
        return Outcome::kFailed;
    }
    partial_.Reset();
    // The final name appears only now, complete and on the disk.
    if (!MoveFileExW(partialPath_.c_str(), finalPath_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        fatalCode_ = kFailureLocalFile;
        return Outcome::kFailed;
    }
    stateFile_.Reset();
    DeleteFileW(statePath_.c_str());
    downloaded_ = total_.load();
    return Outcome::kFinished;
}

void DownloadTask::Flusher() {
    auto lastFlush = Clock::now();
    std::unique_lock<std::mutex> lock(flushMutex_);
    for (;;) {
        flushWake_.wait_until(lock, lastFlush + kFlushEvery, [this] {
            return flusherDone_ || unflushed_.load() >= kFlushEveryBytes;
        });
        if (flusherDone_) {
            return;
        }
        if (unflushed_.load() > 0) {
            lock.unlock();
            FlushWritten();
            lock.lock();
        }
        lastFlush = Clock::now();
    }
}

void DownloadTask::FlushWritten() {
    unflushed_ = 0;  // what is written from here on waits for the next flush
    std::vector<ByteRange> snapshot = SnapshotRemaining();
    if (!FlushFileBuffers(partial_.Get())) {
        return;  // nothing more is known to be on the disk
    }
    {
        std::lock_guard<std::mutex> lock(saveMutex_);
        durable_ = snapshot;
    }
    SaveRecord(true);
}

std::vector<ByteRange> DownloadTask::SnapshotRemaining() {
    std::lock_guard<std::mutex> lock(segMutex_);
    std::vector<ByteRange> remaining;
    for (const Segment& s : segments_) {
        if (s.pos < s.end) {
            remaining.push_back({s.pos, s.end == INT64_MAX ? s.pos + 1 : s.end});
        }
    }
    std::sort(remaining.begin(), remaining.end(),
              [](const ByteRange& a, const ByteRange& b) { return a.first < b.first; });
    return remaining;
}

void DownloadTask::SaveRecord(bool force) {
    // Without ranges or a known length nothing can be resumed: no record to keep.
    if (!ranges_ || total_ < 0) {
        return;
    }
    std::unique_lock<std::mutex> lock(saveMutex_, std::defer_lock);
    if (force) {
        lock.lock();
    } else if (!lock.try_lock()) {
        return;  // another thread is saving right now
    }
    std::int64_t pending = unsaved_.exchange(0);
    (void)pending;
    ResumeRecord r;
    r.sequence = ++sequence_;
    r.url = urlText_;
    r.total = total_;
    r.etag = etag_;
    r.lastModified = lastModified_;
    r.remaining = SnapshotRemaining();
    r.durableRemaining = durable_;
    r.bootStamp = bootStamp_;
    std::string slot;
    if (!EncodeResumeSlot(r, &slot)) {
        return;
    }
    WriteAt(stateFile_.Get(), static_cast<std::int64_t>((r.sequence % 2) * kResumeSlotBytes),
            slot.data(), slot.size());
}

void DownloadTask::SampleSpeed() {
    auto now = Clock::now();
    samples_.emplace_back(now, downloaded_.load());
    while (samples_.size() > 2 && now - samples_[1].first >= std::chrono::seconds(1)) {
        samples_.erase(samples_.begin());
    }
    double seconds = std::chrono::duration<double>(now - samples_.front().first).count();
    if (seconds >= 0.2) {
        double rate =
            static_cast<double>(samples_.back().second - samples_.front().second) / seconds;
        speed_ = static_cast<std::int32_t>(std::clamp(rate, 0.0, 2147483647.0));
    }
}

int DownloadTask::ClaimSegment() {
    std::lock_guard<std::mutex> lock(segMutex_);
    for (std::size_t i = 0; i < segments_.size(); ++i) {
        if (!segments_[i].owned && segments_[i].reserved < segments_[i].end) {
            segments_[i].owned = true;
            return static_cast<int>(i);
        }
    }
    if (!ranges_) {
        return -1;
    }
    // Take the upper half of the largest unfinished stretch, so every connection stays
    // busy until the end.
    int best = -1;
    std::int64_t bestLeft = 0;
    for (std::size_t i = 0; i < segments_.size(); ++i) {
        const Segment& s = segments_[i];
        std::int64_t left = s.end - std::max(s.pos, s.reserved);
        if (left > bestLeft) {
            bestLeft = left;
            best = static_cast<int>(i);
        }
    }
    if (best < 0 || bestLeft < 2 * kStealMinBytes) {
        return -1;
    }
    Segment& victim = segments_[best];
    std::int64_t from = std::max(victim.pos, victim.reserved);
    std::int64_t mid = (from + bestLeft / 2) / kAlign * kAlign;
    if (mid <= from) {
        return -1;
    }
    Segment taken;
    taken.pos = taken.reserved = mid;
    taken.end = victim.end;
    taken.owned = true;
    victim.end = mid;
    segments_.push_back(taken);
    return static_cast<int>(segments_.size() - 1);
}

void DownloadTask::ReleaseSegment(int segment) {
    std::lock_guard<std::mutex> lock(segMutex_);
    segments_[segment].owned = false;  // what it fetched is still on its way to the disk
}

bool DownloadTask::CheckRangeResponse(const HttpStream& stream, std::int64_t from) const {
    const ResponseHead& head = stream.Head();
    std::int64_t f = 0, l = 0, total = -1;
    const std::string* cr = head.Find("Content-Range");
    return head.status == 206 && cr != nullptr && ParseContentRange(*cr, &f, &l, &total) &&
           f == from && total == total_ && SameValidators(HeaderOr(head, "ETag"), etag_) &&
           SameValidators(HeaderOr(head, "Last-Modified"), lastModified_);
}

// Two buffers per connection: one is filled from the network while the other is written.
class BufferPair {
  public:
    explicit BufferPair(std::size_t bytes) {
        for (auto& b : buffers_) {
            b.resize(bytes);
        }
    }
    ~BufferPair() { WaitAllFree(); }
    BufferPair(const BufferPair&) = delete;
    BufferPair& operator=(const BufferPair&) = delete;

    int Take() {
        std::unique_lock<std::mutex> lock(mutex_);
        freed_.wait(lock, [this] { return free_[0] || free_[1]; });
        int slot = free_[0] ? 0 : 1;
        free_[slot] = false;
        return slot;
    }
    char* Data(int slot) { return buffers_[slot].data(); }
    void Give(int slot) {
        std::lock_guard<std::mutex> lock(mutex_);
        free_[slot] = true;
        freed_.notify_all();
    }
    void WaitAllFree() {
        std::unique_lock<std::mutex> lock(mutex_);
        freed_.wait(lock, [this] { return free_[0] && free_[1]; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable freed_;
    std::vector<char> buffers_[2];
    bool free_[2] = {true, true};
};

void DownloadTask::QueueWrite(const WriteJob& job) {
    std::lock_guard<std::mutex> lock(writeMutex_);
    writeQueue_.push_back(job);
    writeReady_.notify_one();
}

void DownloadTask::StopWriter() {
    std::lock_guard<std::mutex> lock(writeMutex_);
    writerDone_ = true;
    writeReady_.notify_one();
}

void DownloadTask::Writer() {
    for (;;) {
        WriteJob job;
        {
            std::unique_lock<std::mutex> lock(writeMutex_);
            writeReady_.wait(lock, [this] { return !writeQueue_.empty() || writerDone_; });
            if (writeQueue_.empty()) {
                return;  // told to stop, and everything is written
            }
            job = writeQueue_.front();
            writeQueue_.pop_front();
        }
        bool ok = !writeFailed_ && WriteAt(partial_.Get(), job.pos, job.data, job.size);
        job.pool->Give(job.slot);
        if (!ok) {
            if (!writeFailed_) {
                writeFailed_ = true;
                Fail(kFailureLocalFile);  // disk full, or the file cannot grow
            }
            continue;  // later jobs only hand their buffers back
        }
        // Every buffer must go back to its worker, so a throw while recording fails the task
        // here and the loop goes on draining the queue.
        GuardedRun([this, &job] { RecordWritten(job); }, [this] { Fail(kFailureOther); });
    }
}

void DownloadTask::RecordWritten(const WriteJob& job) {
    {
        std::lock_guard<std::mutex> lock(segMutex_);
        Segment& s = segments_[job.segment];
        s.pos = std::max(s.pos, job.pos + static_cast<std::int64_t>(job.size));
    }
    downloaded_ += static_cast<std::int64_t>(job.size);
    if ((unsaved_ += static_cast<std::int64_t>(job.size)) >= kSaveEveryBytes) {
        SaveRecord(false);
    }
    if ((unflushed_ += static_cast<std::int64_t>(job.size)) >= kFlushEveryBytes) {
        std::lock_guard<std::mutex> lock(flushMutex_);
        flushWake_.notify_one();
    }
}

void DownloadTask::Worker(std::unique_ptr<HttpStream> first, int segment) {
    struct Leaving {
        std::atomic<int>& count;
        ~Leaving() { --count; }
    } leaving{activeWorkers_};
    BufferPair pool(kBufferBytes);  // destroyed (after the writer gave both back) first
    std::unique_ptr<HttpStream> stream = std::move(first);
    SpeedLimiter& limiter = host_.Limiter();
    int failures = 0;
    while (!cancelRun_) {
        if (segment < 0) {
            segment = ClaimSegment();
            if (segment < 0) {
                return;
            }
        }
        std::int64_t from;
        std::int64_t end;
        {
            std::lock_guard<std::mutex> lock(segMutex_);
            from = segments_[segment].reserved;
            end = segments_[segment].end;
        }
        if (from >= end) {
            ReleaseSegment(segment);
            segment = -1;
            stream.reset();
            continue;
        }
        if (stream.get() == nullptr) {
            std::string error;
            std::unique_ptr<HttpStream> s = ranges_ ? OpenFollowing(from, end - 1, false, &error)
                                                    : OpenFollowing(-1, -1, false, &error);
            if (s) {
                bool usable =
                    ranges_ ? CheckRangeResponse(*s, from)
                            : s->Head().status == 200 && ContentLength(s->Head()) == total_.load();
                int status = s->Head().status;
                if (!usable && (status == 200 || status == 206 || status == 416)) {
                    changed_ = true;  // another file now answers at this URL
                    ReleaseSegment(segment);
                    return;
                }
                if (usable) {
                    stream = std::move(s);
                }
            }
            if (stream.get() == nullptr) {
                if (cancelRun_ || ++failures > kMaxFailuresWithoutProgress) {
                    ReleaseSegment(segment);
                    if (!cancelRun_) {
                        Fail(kFailureOther);
                    }
                    return;
                }
                WaitBackoff(failures - 1);
                continue;
            }
        }

        bool streamFailed = false;
        bool streamEnded = false;
        while (!cancelRun_ && !streamFailed && !streamEnded) {
            std::int64_t fetchPos;
            std::size_t want;
            {
                std::lock_guard<std::mutex> lock(segMutex_);
                Segment& s = segments_[segment];
                fetchPos = s.reserved;
                want = static_cast<std::size_t>(std::min<std::int64_t>(
                    static_cast<std::int64_t>(kBufferBytes), s.end - s.reserved));
                s.reserved += static_cast<std::int64_t>(want);  // no split below this
            }
            if (want == 0) {
                break;
            }
            int slot = pool.Take();
            char* buffer = pool.Data(slot);
            std::size_t filled = 0;
            auto started = Clock::now();
            while (filled < want && !cancelRun_) {
                std::size_t grant = limiter.Acquire(want - filled, cancelRun_);
                if (grant == 0) {
                    break;
                }
                long long n = stream->Read(buffer + filled, grant);
                limiter.Refund(n > 0 ? grant - static_cast<std::size_t>(n) : grant);
                if (n < 0) {
                    streamFailed = true;
                    break;
                }
                if (n == 0) {
                    streamEnded = true;
                    break;
                }
                filled += static_cast<std::size_t>(n);
                // Slow links still show steady progress: write what came within a moment.
                if (Clock::now() - started >= kPartialWriteAfter) {
                    break;
                }
            }
            {
                std::lock_guard<std::mutex> lock(segMutex_);
                segments_[segment].reserved = fetchPos + static_cast<std::int64_t>(filled);
            }
            if (filled > 0) {
                QueueWrite({segment, fetchPos, buffer, filled, &pool, slot});
                failures = 0;
            } else {
                pool.Give(slot);
            }
        }
        std::int64_t left;
        {
            std::lock_guard<std::mutex> lock(segMutex_);
            Segment& s = segments_[segment];
            if (streamEnded && !ranges_ && total_ < 0) {
                s.end = s.reserved;  // a body without a length ends with the connection
            }
            left = s.end - s.reserved;
        }
        stream.reset();
        if (left <= 0) {
            ReleaseSegment(segment);
            segment = -1;
            continue;
        }
        if (cancelRun_) {
            break;
        }
        // Cut short: continue at the last byte fetched, or from byte 0 without ranges.
        if (!ranges_) {
            changed_ = true;  // start over from the beginning
            break;
        }
        if (++failures > kMaxFailuresWithoutProgress) {
            Fail(kFailureOther);
            break;
        }
        WaitBackoff(failures - 1);
    }
    if (segment >= 0) {
        ReleaseSegment(segment);
    }
}

}  // namespace korvane::xldl
