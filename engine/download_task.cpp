#include "engine/download_task.h"
#include "engine/utf8_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/leftover_list.h"
#include "engine/local_file.h"
#include "sysutil/no_throw.h"

namespace korvane::xldl {

namespace {

constexpr int kMaxRestarts = 3;
// Records of an earlier boot than this are trusted only as far as they were flushed.
constexpr std::int64_t kSameBootSeconds = 30;

}  // namespace

DownloadTask::DownloadTask(std::uint32_t number, TaskParams params, bool paramsValid,
                           TaskHost& host)
    : number_(number), params_(std::move(params)), paramsValid_(paramsValid), host_(host) {
    files_.folder = params_.folder;
    files_.finalPath = FinalPathFor(params_.folder, params_.fileName);
    if (!files_.finalPath.empty()) {
        files_.partialPath = PartialPathFor(files_.finalPath);
        files_.statePath = StatePathFor(files_.finalPath);
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
    failure_ = kFailureOther;
    state_ = kStateDownloading;
    running_ = true;
    controller_ = std::thread([this] { Run(); });
}

void DownloadTask::Stop() {
    std::lock_guard<std::mutex> lock(lifecycleMutex_);
    stop_ = true;
    control_.Cancel();
    if (controller_.joinable()) {
        controller_.join();
    }
    progress_.speed = 0;
}

bool DownloadTask::DeleteData() {
    std::lock_guard<std::mutex> lock(lifecycleMutex_);
    if (running_ || files_.partialPath.empty()) {
        return false;
    }
    bool ok = true;
    for (const std::wstring& path : {files_.partialPath, files_.statePath}) {
        if (!DeleteUnlessGone(path)) {
            host_.RecordLeftover(path);
            ok = false;
        }
    }
    return ok;
}

void DownloadTask::FillInfo(unsigned char* record) const {
    std::int32_t state = state_.load();
    std::int32_t failure = state == kStateFailed ? failure_.load() : kFailureOther;
    std::int64_t total = std::max<std::int64_t>(progress_.total.load(), 0);
    std::int64_t done = progress_.downloaded.load();
    if (state == kStateFinished) {
        total = std::max(total, done);
        done = total;
    }
    float fraction =
        total > 0 ? static_cast<float>(static_cast<double>(done) / static_cast<double>(total))
                  : 0.0f;
    fraction = state == kStateFinished ? 1.0f : std::clamp(fraction, 0.0f, 1.0f);
    std::int32_t speed = state == kStateDownloading ? progress_.speed.load() : 0;
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

// The controller thread's entry: a throw inside (memory, mostly) fails the task.
void DownloadTask::Run() {
    RunOutcome outcome = Guarded(RunOutcome::kFailed, [this] { return Transfer(); });
    files_.partial.Reset();
    files_.state.Reset();
    progress_.speed = 0;
    switch (outcome) {
        case RunOutcome::kFinished:
            state_ = kStateFinished;
            break;
        case RunOutcome::kStopped:
            state_ = kStateStopped;
            break;
        default:
            failure_ = control_.FailureCode();
            state_ = kStateFailed;
            break;
    }
    running_ = false;
}

RunOutcome DownloadTask::Transfer() {
    control_.BeginTask();
    RunSetup setup;
    setup.url = Narrow(params_.url);
    Url parsed;
    if (!paramsValid_ || files_.finalPath.empty() || !ParseUrl(setup.url, &parsed)) {
        return RunOutcome::kFailed;
    }
    setup.net = host_.CurrentNetSettings();
    setup.connections = params_.ConnectionsOrDefault();
    setup.expectedSize = expectedSize_;
    setup.bootStamp = CurrentBootStamp();
    if (!OpenLocalFiles()) {
        return RunOutcome::kFailed;
    }
    ResumeRecord kept;
    bool haveKept = params_.resume && ReadKeptRecord(setup, &kept);
    for (int restarts = 0;; ++restarts) {
        RunOutcome outcome = RunOnce(setup, haveKept ? &kept : nullptr);
        if (outcome != RunOutcome::kRestart) {
            return outcome;
        }
        if (restarts >= kMaxRestarts) {
            return RunOutcome::kFailed;
        }
        haveKept = false;  // the file changed on the server, or a stream without ranges broke
        control_.BeginRun();
        if (stop_ || !control_.WaitBackoff(restarts)) {
            return stop_ ? RunOutcome::kStopped : RunOutcome::kFailed;
        }
    }
}

bool DownloadTask::OpenLocalFiles() {
    if (!EnsureFolder(params_.folder)) {
        control_.Fail(kFailureLocalFile);
        return false;
    }
    // The state file is held open without write sharing: a second engine (another
    // process) cannot write the same partial file at the same time.
    files_.state.Reset(CreateFileW(files_.statePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
    if (!files_.state.IsValid()) {
        control_.Fail(GetLastError() == ERROR_SHARING_VIOLATION ? kFailureOther
                                                                : kFailureLocalFile);
        return false;
    }
    files_.partial.Reset(CreateFileW(files_.partialPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!files_.partial.IsValid()) {
        control_.Fail(kFailureLocalFile);
        return false;
    }
    return true;
}

// The newer of the two intact slots of the state file, when it belongs to this URL and to
// the data file beside it.
bool DownloadTask::ReadKeptRecord(const RunSetup& setup, ResumeRecord* kept) {
    std::vector<char> slots(2 * kResumeSlotBytes);
    DWORD read = 0;
    OVERLAPPED at = {};
    if (!ReadFile(files_.state.Get(), slots.data(), static_cast<DWORD>(slots.size()), &read, &at)) {
        return false;
    }
    bool found = false;
    for (std::size_t start = 0; start < 2 * kResumeSlotBytes; start += kResumeSlotBytes) {
        ResumeRecord r;
        if (read > start &&
            DecodeResumeSlot(slots.data() + start,
                             std::min<std::size_t>(read - start, kResumeSlotBytes), &r) &&
            (!found || r.sequence > kept->sequence)) {
            *kept = r;
            found = true;
        }
    }
    if (!found) {
        return false;
    }
    recordSequence_ = kept->sequence;
    if (std::llabs(kept->bootStamp - setup.bootStamp) > kSameBootSeconds) {
        kept->remaining = kept->durableRemaining;  // the system restarted meanwhile
    }
    return kept->url == setup.url && kept->total >= 0 &&
           FileLength(files_.partial.Get()) == kept->total;
}

RunOutcome DownloadTask::RunOnce(const RunSetup& setup, const ResumeRecord* kept) {
    if (stop_) {
        return RunOutcome::kStopped;
    }
    control_.BeginRun();
    progress_.speed = 0;
    if (stop_) {  // a stop that came while we reset
        control_.Cancel();
        return RunOutcome::kStopped;
    }
    TransferRun run(setup, files_, progress_, control_, host_.Limiter(), recordSequence_, stop_);
    return run.Run(kept);
}

}  // namespace korvane::xldl
