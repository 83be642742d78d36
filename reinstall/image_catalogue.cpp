#include "reinstall/image_catalogue.h"

#include <windows.h>

#include "reinstall/editions.h"
#include "reinstall/engine_files.h"
#include "staging/preflight.h"
#include "sysutil/catalogue_signature.h"
#include "sysutil/job_log.h"
#include "sysutil/system_info.h"
#include "sysutil/web_address.h"

namespace korvane {

namespace {

constexpr DWORD kValueUnits = 260;  // so at most 259 characters of a value are used

}  // namespace

std::wstring CataloguePath(const std::wstring& appDataFolder) {
    return appDataFolder + L"\\" + kCatalogueFileName;
}

std::wstring ReadCatalogueValue(const std::wstring& appDataFolder, const wchar_t* section,
                                const std::wstring& key) {
    if (appDataFolder.empty()) {
        return std::wstring();
    }
    wchar_t value[kValueUnits] = {};
    GetPrivateProfileStringW(section, key.c_str(), L"", value, kValueUnits,
                             CataloguePath(appDataFolder).c_str());
    value[kValueUnits - 1] = L'\0';
    return value;
}

std::wstring ReadImageAddress(const std::wstring& appDataFolder, const std::wstring& key) {
    const std::wstring value = ReadCatalogueValue(appDataFolder, kCatalogueSection, key);
    // A value that is no web address would reach the engine as a local path or another
    // scheme: it counts as missing.
    return IsWebAddress(value) ? value : std::wstring();
}

void FetchImageCatalogue(const ImageCatalogueJob& job) {
    job.view.SetControlEnabled(kStartButton, false);

    // Without the folder the copy would land in the current drive's root. A catalogue whose
    // signature is missing or wrong counts as not fetched: its addresses could be anyone's.
    if (job.appDataFolder.empty() ||
        !DownloadSignedCatalogue(job.catalogueUrl, CataloguePath(job.appDataFolder),
                                 L"image catalogue")) {
        job.prompt.Ask(kCatalogueFailedMessage, L"信息提示", MB_ICONERROR);
        return;
    }

    int addresses = 0;
    for (int index = 1; index <= kEditionCount; ++index) {
        const Edition& edition = *EditionByIndex(index);
        const std::wstring address = ReadImageAddress(job.appDataFolder, edition.catalogueKey);
        job.view.SetControlUserData(edition.option, address);
        addresses += address.empty() ? 0 : 1;
    }
    LogJob(L"image catalogue: " + std::to_wstring(addresses) + L" of " +
           std::to_wstring(kEditionCount) + L" editions have an image address");

    if (!BootsBootSectorEntries(job.machine, job.prompt, job.opener, job.pePageUrl)) {
        return;
    }

    RecommendEdition(job.view, job.os);
    WriteDownloadEngineFiles(job.appDataFolder);
    job.view.SetControlEnabled(kStartButton, true);
    LogJob(L"image catalogue: the start button is enabled");
}

}  // namespace korvane
