// Stand-in for find.exe with the switches Wine's lacks: find [/v] [/c] [/i] "text" [file...]
// Prints the matching lines; exit code 0 when a line matched, 1 when none did.
#include <algorithm>
#include <cctype>

#include "double_io.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Ansi(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

}  // namespace

int main() {
    bool ignoreCase = false, invert = false, countOnly = false;
    std::wstring needle;
    bool haveNeedle = false;
    std::vector<std::wstring> files;
    for (const std::wstring& arg : doubles::Arguments()) {
        std::wstring upper = arg;
        std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
        if (upper == L"/I") {
            ignoreCase = true;
        } else if (upper == L"/V") {
            invert = true;
        } else if (upper == L"/C") {
            countOnly = true;
        } else if (!haveNeedle) {
            needle = arg;
            haveNeedle = true;
        } else {
            files.push_back(arg);
        }
    }
    if (!haveNeedle) {
        doubles::Print("FIND: Parameter format not correct\r\n");
        return 2;
    }

    std::string input;
    if (files.empty()) {
        char chunk[4096];
        DWORD read = 0;
        while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof(chunk), &read, nullptr) &&
               read > 0) {
            input.append(chunk, read);
        }
    } else {
        for (const std::wstring& file : files) {
            std::string bytes;
            if (!doubles::ReadBytes(file, &bytes)) {
                doubles::Print("File not found\r\n");
                return 2;
            }
            input += bytes;
        }
    }

    std::string pattern = Ansi(needle);
    if (ignoreCase) {
        pattern = Lower(pattern);
    }
    int matches = 0;
    size_t start = 0;
    while (start < input.size()) {
        size_t end = input.find('\n', start);
        std::string line =
            input.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? input.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::string subject = ignoreCase ? Lower(line) : line;
        bool found = subject.find(pattern) != std::string::npos;
        if (found != invert) {
            ++matches;
            if (!countOnly) {
                doubles::Print(line + "\r\n");
            }
        }
    }
    if (countOnly) {
        doubles::Print(std::to_string(matches) + "\r\n");
    }
    return matches > 0 ? 0 : 1;
}
