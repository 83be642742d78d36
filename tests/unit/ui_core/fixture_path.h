#pragma once
// Paths of committed fixtures. ctest passes the source folder as a unix path; a Windows
// program under Wine reaches it through drive Z:.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace ui_core_test {

inline std::string FixturePath(const std::string& name) {
    const char* root = std::getenv("KORVANE_SOURCE_DIR");
    std::string path = std::string(root ? root : ".") + "/tests/fixtures/ui_core/" + name;
#ifdef _WIN32
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    if (!path.empty() && path[0] == '\\')
        path = "Z:" + path;
#endif
    return path;
}

inline bool ReadFixture(const std::string& name, std::vector<uint8_t>* out) {
    out->clear();
    FILE* f = std::fopen(FixturePath(name).c_str(), "rb");
    if (!f)
        return false;
    unsigned char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out->insert(out->end(), buffer, buffer + n);
    std::fclose(f);
    return true;
}

}  // namespace ui_core_test
