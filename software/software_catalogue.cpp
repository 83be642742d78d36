#include "software/software_catalogue.h"

#include <windows.h>

#include "software/archive_unpack.h"
#include "sysutil/catalogue_signature.h"
#include "sysutil/job_log.h"
#include "sysutil/no_throw.h"
#include "sysutil/system_info.h"
#include "sysutil/web_address.h"

namespace korvane {

namespace {

constexpr DWORD kTargetUnits = 260;  // so at most 259 characters of a target are used

std::wstring SoftwareFolder(const std::wstring& appDataFolder) {
    return appDataFolder + L"\\" + kSoftwareFolderName;
}

std::wstring ReadTarget(const std::wstring& iniPath, int number) {
    wchar_t value[kTargetUnits] = {};
    GetPrivateProfileStringW(kSoftwareSection, std::to_wstring(number).c_str(), L"", value,
                             kTargetUnits, iniPath.c_str());
    value[kTargetUnits - 1] = L'\0';
    return value;
}

std::wstring PicturePath(const std::wstring& folder, int number, int picture) {
    return folder + L"\\Soft" + std::to_wstring(number) + L"_" + std::to_wstring(picture) + L".jpg";
}

}  // namespace

bool FillSoftwarePage(SoftwarePageView& page, const std::wstring& appDataFolder,
                      const std::wstring& archivePath) {
    if (appDataFolder.empty()) {
        return false;
    }
    const std::wstring folder = SoftwareFolder(appDataFolder);
    if (!UnpackArchive(archivePath, folder)) {
        return false;
    }
    const std::wstring iniPath = folder + L"\\" + kSoftwareIniName;
    if (!PathExists(iniPath)) {
        return false;
    }
    for (int number = 1; number <= kSoftwareButtonCount; ++number) {
        page.FillSoftwareButton(number, ReadTarget(iniPath, number), PicturePath(folder, number, 1),
                                PicturePath(folder, number, 2));
    }
    return true;
}

void FetchSoftwareCatalogue(const SoftwareCatalogueJob& job) {
    GuardedRun(
        [&job] {
            // Without the folder every path would point at the current drive's root.
            if (job.appDataFolder.empty()) {
                return;
            }
            const std::wstring archivePath = job.appDataFolder + L"\\" + kSoftwareArchiveName;
            DeleteFolderContents(SoftwareFolder(job.appDataFolder));
            if (!DownloadSignedCatalogue(job.archiveUrl, archivePath, L"software catalogue")) {
                return;  // the log says why
            }
            if (!FillSoftwarePage(job.page, job.appDataFolder, archivePath)) {
                LogJob(L"software catalogue: " + job.archiveUrl + L" is no usable archive");
            } else {
                LogJob(L"software catalogue: the page is filled");
            }
        },
        [] {});
}

bool OpenSoftwareTarget(const std::wstring& target, PageOpener& opener) {
    if (!IsWebAddress(target)) {
        return false;
    }
    opener.OpenPage(target);
    return true;
}

}  // namespace korvane
