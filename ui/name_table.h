// Control look-up by name for one window. Rebuilt lazily after the tree or a name changed;
// workers look names up too, so the table has a lock of its own.
#pragma once

#include <mutex>
#include <string>
#include <unordered_map>

#include "ui/ui_defs.h"

namespace DuiLib {

class NameTable {
  public:
    NameTable() = default;
    NameTable(const NameTable&) = delete;
    NameTable& operator=(const NameTable&) = delete;

    void MarkChanged();
    // The last control of that name in depth-first order below root, or null.
    CControlUI* Find(CControlUI* root, const std::wstring& name);

  private:
    void Rebuild(CControlUI* root);

    std::mutex m_lock;
    bool m_dirty = true;
    std::unordered_map<std::wstring, CControlUI*> m_names;
};

}  // namespace DuiLib
