// Stand-in for diskpart.exe: prints the disk list of a fixture file
// (%KORVANE_DISKPART_FIXTURE% or C:\korvane-diskpart.txt) whatever its script asks.
#include "double_io.h"

int main() {
    std::wstring fixture = doubles::EnvOr(L"KORVANE_DISKPART_FIXTURE", L"C:\\korvane-diskpart.txt");
    std::string bytes;
    if (!doubles::ReadBytes(fixture, &bytes)) {
        doubles::Print("DiskPart: no disk list fixture\r\n");
        return 1;
    }
    doubles::Print(bytes);
    return 0;
}
