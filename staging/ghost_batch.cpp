#include "staging/ghost_batch.h"

namespace korvane {

std::wstring ImagePathRemainder(const std::wstring& imagePath) {
    if (imagePath.size() <= 2) {
        return std::wstring();
    }
    return imagePath.substr(2, 256);
}

std::wstring BuildBackupBatch(const std::wstring& systemId, const std::wstring& imageId,
                              const std::wstring& remainder) {
    return L"@echo off\r\nGhost.exe -noide -nousb -clone,mode=pdump,src=\"" + systemId +
           L"\",dst=\"" + imageId + remainder +
           L"\" -fro -crcignore -sure -rb -afile=\"GHOSTERR.TXT\"\r\nrestart";
}

std::wstring BuildRestoreBatch(const std::wstring& systemId, const std::wstring& imageId,
                               const std::wstring& remainder) {
    return L"@echo off\r\nGhost.exe -noide -nousb -clone,mode=pload,src=\"" + imageId + remainder +
           L":1\",dst=\"" + systemId + L"\" -sure -fx -fro\r\nrestart";
}

}  // namespace korvane
