#include "ui/manager_registry.h"

#include <algorithm>
#include <mutex>

#include "ui/paint_manager.h"

namespace DuiLib::registry {

namespace {

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

std::vector<CPaintManagerUI*>& Managers() {
    static std::vector<CPaintManagerUI*> managers;
    return managers;
}

}  // namespace

void Add(CPaintManagerUI* manager) {
    std::lock_guard<std::mutex> guard(Lock());
    auto& managers = Managers();
    if (std::find(managers.begin(), managers.end(), manager) == managers.end())
        managers.push_back(manager);
}

void Remove(CPaintManagerUI* manager) {
    std::lock_guard<std::mutex> guard(Lock());
    auto& managers = Managers();
    managers.erase(std::remove(managers.begin(), managers.end(), manager), managers.end());
}

std::vector<CPaintManagerUI*> FilteringManagersOf(HWND hWnd) {
    std::vector<CPaintManagerUI*> targets;
    std::lock_guard<std::mutex> guard(Lock());
    for (CPaintManagerUI* pm : Managers()) {
        HWND w = pm->GetPaintWindow();
        if (w == nullptr || !pm->HasMessageFilters())
            continue;
        if (w == hWnd || ::IsChild(w, hWnd) || ::GetWindow(hWnd, GW_OWNER) == w)
            targets.push_back(pm);
    }
    return targets;
}

}  // namespace DuiLib::registry
