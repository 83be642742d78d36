// The image catalogue job: fetches the ini that maps each edition to its image address,
// hangs the addresses on the edition options, probes the first disk, recommends an edition,
// writes the download engine's files, and only then enables the wizard's start button.
#pragma once

#include <string>

#include "reinstall/wizard_view.h"
#include "sysutil/fresh_download.h"
#include "sysutil/page_opener.h"
#include "staging/machine_facts.h"
#include "sysutil/user_prompt.h"

namespace korvane {

inline constexpr wchar_t kCatalogueFileName[] = L"ghoinfo.ini";
inline constexpr wchar_t kCatalogueSection[] = L"GHO";
inline constexpr wchar_t kStartButton[] = L"StartRestoreSystem_Btn";
// What the user is told when the catalogue could not be fetched (caption 信息提示, error icon).
inline constexpr wchar_t kCatalogueFailedMessage[] = L"获取系统配置文件失败,请检查网络设置";

struct ImageCatalogueJob {
    WizardView& view;
    UserPrompt& prompt;
    MachineFacts& machine;  // the firmware and the partition-style probe
    PageOpener& opener;     // opens the PE page on a refusal
    OsFacts& os;            // for the recommendation
    std::wstring appDataFolder;
    std::wstring catalogueUrl;
    std::wstring pePageUrl;
};

// The job's body; runs on its worker thread. Reports nothing: its results are the
// controls' states, ghoinfo.ini and the engine files.
void FetchImageCatalogue(const ImageCatalogueJob& job);

// Where the fetched catalogue is kept: the data folder's ghoinfo.ini.
std::wstring CataloguePath(const std::wstring& appDataFolder);

// A key's value in a section of ghoinfo.ini, at most 259 characters; empty when missing.
std::wstring ReadCatalogueValue(const std::wstring& appDataFolder, const wchar_t* section,
                                const std::wstring& key);

// The catalogue's address of an edition key, read afresh from ghoinfo.ini; empty when the
// key is missing or its value is not an http or https address.
std::wstring ReadImageAddress(const std::wstring& appDataFolder, const std::wstring& key);

}  // namespace korvane
