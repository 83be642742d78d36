// The two receive buffers of one connection: one is filled from the network while the disk
// writer puts the other on the disk, so no byte is copied twice.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace korvane::xldl {

class ReceiveBuffers {
  public:
    explicit ReceiveBuffers(std::size_t bytes);
    // Waits until the writer has given both buffers back.
    ~ReceiveBuffers();
    ReceiveBuffers(const ReceiveBuffers&) = delete;
    ReceiveBuffers& operator=(const ReceiveBuffers&) = delete;

    // A free buffer's slot; waits while both are on their way to the disk.
    int Take();
    char* Data(int slot) { return buffers_[slot].data(); }
    // The buffer of `slot` is free again (written, or not needed).
    void Give(int slot);

  private:
    std::mutex mutex_;
    std::condition_variable freed_;
    std::vector<char> buffers_[2];
    bool free_[2] = {true, true};
};

}  // namespace korvane::xldl
