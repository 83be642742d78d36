#include "ui/name_table.h"

#include <vector>

#include "ui/control.h"

namespace DuiLib {

void NameTable::MarkChanged() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_dirty = true;
}

CControlUI* NameTable::Find(CControlUI* root, const std::wstring& name) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_dirty) {
        Rebuild(root);
        m_dirty = false;
    }
    auto it = m_names.find(name);
    return it == m_names.end() ? nullptr : it->second;
}

void NameTable::Rebuild(CControlUI* root) {
    m_names.clear();
    if (root == nullptr)
        return;
    // Depth-first, parents before children: a later control of the same name wins.
    std::vector<CControlUI*> stack{root};
    while (!stack.empty()) {
        CControlUI* c = stack.back();
        stack.pop_back();
        CDuiString name = c->GetName();
        if (!name.IsEmpty())
            m_names[name.Str()] = c;
        for (int i = c->GetCount() - 1; i >= 0; --i) {
            if (CControlUI* child = c->GetItemAt(i))
                stack.push_back(child);
        }
    }
}

}  // namespace DuiLib
