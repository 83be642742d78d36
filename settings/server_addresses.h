// Where the program's servers are: compiled-in addresses under www.korvane.com that
// Option.ini may override (section "Server"), so that a mirror, the demo or a test can
// point the program elsewhere.
#pragma once

#include <string>

#include "settings/options_store.h"

namespace korvane {

inline constexpr wchar_t kServerSection[] = L"Server";

struct ServerAddresses {
    std::wstring imageCatalogue;     // key "ImageCatalogue": the ini of image addresses
    std::wstring softwareCatalogue;  // key "SoftwareCatalogue": the zip of the software page
    std::wstring homePage;           // key "HomePage": the menu's pages
    std::wstring pePage;             // key "PePage": where a PE system is offered
};

// The compiled-in addresses.
ServerAddresses DefaultServerAddresses();

// The compiled-in addresses, each replaced by its key's value when that is an http or
// https address (any other value is ignored).
ServerAddresses LoadServerAddresses(const OptionsStore& store);

}  // namespace korvane
