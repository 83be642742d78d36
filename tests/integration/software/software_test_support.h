// What the software page's tests share: a page that records what the job fills, archives
// built in memory and served by the loopback test server, and one data folder per test.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "software/software_page_view.h"
#include "tests/integration/engine/engine_test_support.h"
#include "tests/support/test_paths.h"
#include "tests/unit/ui_core/zip_writer.h"

namespace korvane::test {

struct FilledButton {
    std::wstring target, normalImage, hotImage;
};

class RecordingPage : public SoftwarePageView {
  public:
    void FillSoftwareButton(int number, const std::wstring& target, const std::wstring& normalImage,
                            const std::wstring& hotImage) override {
        std::lock_guard<std::mutex> hold(lock_);
        order_.push_back(number);
        buttons_[number] = {target, normalImage, hotImage};
    }
    std::vector<int> Order() const {
        std::lock_guard<std::mutex> hold(lock_);
        return order_;
    }
    FilledButton Button(int number) const {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = buttons_.find(number);
        return it == buttons_.end() ? FilledButton{} : it->second;
    }

  private:
    mutable std::mutex lock_;
    std::vector<int> order_;
    std::map<int, FilledButton> buttons_;
};

// SoftWareInfo.ini as the catalogue server writes it: UTF-16 LE with a byte order mark.
inline std::string IniBytes(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// "[KRXT]" with key N = "http://soft.example/N" for every N of keys.
inline std::string CatalogueIni(const std::vector<int>& keys) {
    std::wstring text = L"[KRXT]\r\n";
    for (int n : keys) {
        text += std::to_wstring(n) + L"=http://soft.example/" + std::to_wstring(n) + L"\r\n";
    }
    return IniBytes(text);
}

inline std::string Picture() {
    static const std::string bytes = ReadFileBytes(UnixPathFromEnv(L"KORVANE_SOURCE_DIR") +
                                                   L"\\tests\\fixtures\\ui_core\\grey_8x8.jpg");
    return bytes;
}

// The ini with keys, and both pictures of all sixteen buttons.
inline void AddCatalogue(ui_core_test::ZipWriter* zip, const std::vector<int>& keys) {
    zip->Add("SoftWareInfo.ini", CatalogueIni(keys));
    for (int n = 1; n <= kSoftwareButtonCount; ++n) {
        zip->Add("Soft" + std::to_string(n) + "_1.jpg", Picture(), false);
        zip->Add("Soft" + std::to_string(n) + "_2.jpg", Picture(), false);
    }
}

inline std::vector<int> AllKeys() {
    std::vector<int> keys;
    for (int n = 1; n <= kSoftwareButtonCount; ++n) {
        keys.push_back(n);
    }
    return keys;
}

inline std::string Text(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// Serves bytes as name; answers its URL.
inline std::wstring Serve(const std::string& name, const std::string& bytes) {
    EXPECT_TRUE(WriteFileBytes(
        enginetest::ServerRoot() + L"\\" + std::wstring(name.begin(), name.end()), bytes));
    return enginetest::ServerUrl(name);
}

// A new "...\<test>\Roaming\QMZXT" of the current test, inside the served folder's
// temporary tree (each run gets a fresh one).
inline std::wstring FreshDataFolder() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::wstring name(test->name(), test->name() + strlen(test->name()));
    const std::wstring outer = enginetest::FreshFolder(L"sw-" + name) + L"\\Roaming";
    CreateDirectoryW(outer.c_str(), nullptr);
    CreateDirectoryW((outer + L"\\QMZXT").c_str(), nullptr);
    return outer + L"\\QMZXT";
}

}  // namespace korvane::test
