// A program built like ours but without the XP import fix: the import check must reject it.
#include <chrono>
#include <mutex>
#include <thread>

int main() {
    std::mutex m;
    std::lock_guard<std::mutex> lock(m);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
}
