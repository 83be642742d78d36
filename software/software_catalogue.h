// The software catalogue job: at every start it empties the software folder, downloads the
// catalogue archive, unpacks it there and fills the software page's sixteen buttons from its
// SoftWareInfo.ini and pictures. Also the click on one of those buttons.
#pragma once

#include <string>

#include "software/folder_contents.h"
#include "software/software_page_view.h"
#include "sysutil/page_opener.h"

namespace korvane {

inline constexpr wchar_t kSoftwareArchiveName[] = L"SoftWareInfo.zip";
inline constexpr wchar_t kSoftwareFolderName[] = L"SoftWareInfo";
inline constexpr wchar_t kSoftwareIniName[] = L"SoftWareInfo.ini";
inline constexpr wchar_t kSoftwareSection[] = L"KRXT";

struct SoftwareCatalogueJob {
    SoftwarePageView& page;
    std::wstring appDataFolder;  // ...\QMZXT
    std::wstring archiveUrl;
};

// The job's body; runs on its worker thread and never throws. Reports nothing: a failed
// download or a damaged archive leaves the page as the skin made it (the job log says which).
void FetchSoftwareCatalogue(const SoftwareCatalogueJob& job);

// Unpacks the archive into the software folder and fills the buttons. False (page
// unchanged) when the archive cannot be read or holds no SoftWareInfo.ini.
bool FillSoftwarePage(SoftwarePageView& page, const std::wstring& appDataFolder,
                      const std::wstring& archivePath);

// The click on a software button: opens the target when it is an http/https address; any
// other target is not started, since it came from an unauthenticated download. Answers
// whether it opened something.
bool OpenSoftwareTarget(const std::wstring& target, PageOpener& opener);

}  // namespace korvane
