// Stand-in for the platform's bcdedit.exe, keeping a boot store model in a UTF-8 text file
// (%KORVANE_BCD_STORE% or C:\Boot\BCD):
//
//   [{bootmgr}]
//   default={current}
//   displayorder={current}
//   timeout=30
//   [{current}]
//   description=Windows 7
//
// Commands: /export F, /import F, /create ID /d DESC /application TYPE, /set ID NAME VALUE,
// /displayorder ID /addlast, /timeout N, /default ID, /delete ID, /enum.
// Paths under \\?\HarddiskVolume1\ (the first volume, which Wine lacks) map to C:\.
// Every start adds its command line to the store's path + ".runs".
// Exit code 0 on success, 1 on failure, as the real editor does.
#include <algorithm>
#include <utility>

#include "double_io.h"

namespace {

struct Section {
    std::wstring id;
    std::vector<std::pair<std::wstring, std::wstring>> values;

    std::wstring Get(const std::wstring& key) const {
        for (const auto& [k, v] : values) {
            if (k == key) {
                return v;
            }
        }
        return std::wstring();
    }
    void Set(const std::wstring& key, const std::wstring& value) {
        for (auto& [k, v] : values) {
            if (k == key) {
                v = value;
                return;
            }
        }
        values.emplace_back(key, value);
    }
};

using Store = std::vector<Section>;

std::wstring StorePath() {
    return doubles::EnvOr(L"KORVANE_BCD_STORE", L"C:\\Boot\\BCD");
}

std::wstring MapPath(const std::wstring& path) {
    const std::wstring firstVolume = L"\\\\?\\HarddiskVolume1\\";
    if (path.compare(0, firstVolume.size(), firstVolume) == 0) {
        return L"C:\\" + path.substr(firstVolume.size());
    }
    return path;
}

bool Load(Store* store) {
    std::string bytes;
    if (!doubles::ReadBytes(StorePath(), &bytes)) {
        return false;
    }
    std::wstring text = doubles::FromUtf8(bytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        std::wstring line =
            text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        start = end == std::wstring::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        if (line.size() > 2 && line.front() == L'[' && line.back() == L']') {
            store->push_back({line.substr(1, line.size() - 2), {}});
        } else if (size_t eq = line.find(L'='); eq != std::wstring::npos && !store->empty()) {
            store->back().values.emplace_back(line.substr(0, eq), line.substr(eq + 1));
        }
    }
    return true;
}

bool Save(const Store& store) {
    std::wstring text;
    for (const Section& section : store) {
        text += L"[" + section.id + L"]\r\n";
        for (const auto& [k, v] : section.values) {
            text += k + L"=" + v + L"\r\n";
        }
    }
    return doubles::WriteBytes(StorePath(), doubles::ToUtf8(text), false);
}

Section* Find(Store& store, const std::wstring& id) {
    for (Section& section : store) {
        if (_wcsicmp(section.id.c_str(), id.c_str()) == 0) {
            return &section;
        }
    }
    return nullptr;
}

Section& BootManager(Store& store) {
    if (Section* manager = Find(store, L"{bootmgr}")) {
        return *manager;
    }
    store.insert(store.begin(), Section{L"{bootmgr}", {}});
    return store.front();
}

std::vector<std::wstring> SplitOrder(const std::wstring& order) {
    std::vector<std::wstring> ids;
    size_t start = 0;
    while (start < order.size()) {
        size_t end = order.find(L' ', start);
        std::wstring id =
            order.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (!id.empty()) {
            ids.push_back(id);
        }
        start = end == std::wstring::npos ? order.size() : end + 1;
    }
    return ids;
}

std::wstring JoinOrder(const std::vector<std::wstring>& ids) {
    std::wstring order;
    for (const std::wstring& id : ids) {
        order += (order.empty() ? L"" : L" ") + id;
    }
    return order;
}

int Fail(const char* message) {
    doubles::Print(std::string("An error occurred: ") + message + "\r\n");
    return 1;
}

int Done() {
    doubles::Print("The operation completed successfully.\r\n");
    return 0;
}

int Copy(const std::wstring& from, const std::wstring& to) {
    std::string bytes;
    if (!doubles::ReadBytes(from, &bytes) || !doubles::WriteBytes(to, bytes, false)) {
        return Fail("the store could not be copied.");
    }
    return Done();
}

}  // namespace

int main() {
    // Each start is recorded first, whatever follows: the tests tell from it whether a command
    // reached the editor at all.
    doubles::WriteBytes(StorePath() + L".runs",
                        doubles::ToUtf8(std::wstring(GetCommandLineW()) + L"\r\n"), true);
    std::vector<std::wstring> args = doubles::Arguments();
    if (args.empty()) {
        return Fail("no command.");
    }
    std::wstring command = args[0];
    std::transform(command.begin(), command.end(), command.begin(), ::towlower);

    if (command == L"/export" && args.size() == 2) {
        return Copy(StorePath(), MapPath(args[1]));
    }
    if (command == L"/import" && args.size() == 2) {
        return Copy(MapPath(args[1]), StorePath());
    }

    Store store;
    if (!Load(&store)) {
        return Fail("the boot configuration data store could not be opened.");
    }

    if (command == L"/enum") {
        std::string bytes;
        doubles::ReadBytes(StorePath(), &bytes);
        doubles::Print(bytes);
        return 0;
    }
    if (command == L"/create" && args.size() >= 4 && _wcsicmp(args[2].c_str(), L"/d") == 0) {
        if (Find(store, args[1])) {
            return Fail("the specified entry already exists.");
        }
        Section entry{args[1], {{L"description", args[3]}}};
        if (args.size() >= 6 && _wcsicmp(args[4].c_str(), L"/application") == 0) {
            entry.Set(L"application", args[5]);
        }
        store.push_back(entry);
        return Save(store) ? Done() : Fail("the store could not be written.");
    }
    if (command == L"/set" && args.size() >= 4) {
        Section* entry = Find(store, args[1]);
        if (!entry) {
            return Fail("the specified entry does not exist.");
        }
        std::wstring value;
        for (size_t i = 3; i < args.size(); ++i) {
            value += (i > 3 ? L" " : L"") + args[i];
        }
        entry->Set(args[2], value);
        return Save(store) ? Done() : Fail("the store could not be written.");
    }
    if (command == L"/displayorder" && args.size() == 3 &&
        _wcsicmp(args[2].c_str(), L"/addlast") == 0) {
        if (!Find(store, args[1])) {
            return Fail("the specified entry does not exist.");
        }
        Section& manager = BootManager(store);
        std::vector<std::wstring> ids = SplitOrder(manager.Get(L"displayorder"));
        ids.erase(std::remove(ids.begin(), ids.end(), args[1]), ids.end());
        ids.push_back(args[1]);
        manager.Set(L"displayorder", JoinOrder(ids));
        return Save(store) ? Done() : Fail("the store could not be written.");
    }
    if (command == L"/timeout" && args.size() == 2) {
        BootManager(store).Set(L"timeout", args[1]);
        return Save(store) ? Done() : Fail("the store could not be written.");
    }
    if (command == L"/default" && args.size() == 2) {
        if (!Find(store, args[1])) {
            return Fail("the specified entry does not exist.");
        }
        BootManager(store).Set(L"default", args[1]);
        return Save(store) ? Done() : Fail("the store could not be written.");
    }
    if (command == L"/delete" && args.size() == 2) {
        auto it = std::find_if(store.begin(), store.end(), [&](const Section& s) {
            return _wcsicmp(s.id.c_str(), args[1].c_str()) == 0;
        });
        if (it == store.end()) {
            return Fail("the specified entry does not exist.");
        }
        store.erase(it);
        Section& manager = BootManager(store);
        std::vector<std::wstring> ids = SplitOrder(manager.Get(L"displayorder"));
        ids.erase(std::remove(ids.begin(), ids.end(), args[1]), ids.end());
        manager.Set(L"displayorder", JoinOrder(ids));
        return Save(store) ? Done() : Fail("the store could not be written.");
    }
    return Fail("the parameter is incorrect.");
}
