// An ordered set of receivers (notifiers, message filters). Receivers may add or remove
// receivers, or run a modal loop, while being called: callers walk a snapshot.
#pragma once

#include <algorithm>
#include <vector>

namespace DuiLib {

template <typename Listener>
class ListenerList {
  public:
    // False for null or a receiver already in the list.
    bool Add(Listener* listener) {
        if (listener == nullptr || Contains(listener))
            return false;
        m_items.push_back(listener);
        return true;
    }
    bool Remove(Listener* listener) {
        auto it = std::find(m_items.begin(), m_items.end(), listener);
        if (it == m_items.end())
            return false;
        m_items.erase(it);
        return true;
    }
    void Clear() { m_items.clear(); }
    bool Empty() const { return m_items.empty(); }
    std::vector<Listener*> Snapshot() const { return m_items; }

  private:
    bool Contains(Listener* listener) const {
        return std::find(m_items.begin(), m_items.end(), listener) != m_items.end();
    }

    std::vector<Listener*> m_items;
};

}  // namespace DuiLib
