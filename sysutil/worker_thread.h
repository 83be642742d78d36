// Worker threads of the jobs: started with the platform's thread call, their handles closed
// at once, never joined.
#pragma once

#include <functional>

namespace korvane {

// Runs body on a new thread. When body throws (an allocation failure, say), onFailure runs
// on that thread instead of the program ending: it ends that one job, typically with a
// message. False when the thread could not be started (body then never runs).
bool StartWorkerThread(std::function<void()> body, std::function<void()> onFailure);

}  // namespace korvane
