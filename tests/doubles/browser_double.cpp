// Stand-in for the web browser, registered in the test prefix as the http and https handler:
// records its command line, one line per call, and opens nothing. The record goes to
// %KORVANE_BROWSER_LOG% or C:\korvane-browser.log.
#include "double_io.h"

int main() {
    std::wstring line;
    for (const std::wstring& arg : doubles::Arguments()) {
        line += (line.empty() ? L"" : L" ") + arg;
    }
    std::wstring log = doubles::EnvOr(L"KORVANE_BROWSER_LOG", L"C:\\korvane-browser.log");
    return doubles::WriteBytes(log, doubles::ToUtf8(L"browser " + line) + "\r\n", true) ? 0 : 1;
}
