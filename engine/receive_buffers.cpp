#include "engine/receive_buffers.h"

namespace korvane::xldl {

ReceiveBuffers::ReceiveBuffers(std::size_t bytes) {
    for (auto& b : buffers_) {
        b.resize(bytes);
    }
}

ReceiveBuffers::~ReceiveBuffers() {
    std::unique_lock<std::mutex> lock(mutex_);
    freed_.wait(lock, [this] { return free_[0] && free_[1]; });
}

int ReceiveBuffers::Take() {
    std::unique_lock<std::mutex> lock(mutex_);
    freed_.wait(lock, [this] { return free_[0] || free_[1]; });
    int slot = free_[0] ? 0 : 1;
    free_[slot] = false;
    return slot;
}

void ReceiveBuffers::Give(int slot) {
    std::lock_guard<std::mutex> lock(mutex_);
    free_[slot] = true;
    freed_.notify_all();
}

}  // namespace korvane::xldl
