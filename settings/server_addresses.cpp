#include "settings/server_addresses.h"

#include "sysutil/web_address.h"

namespace korvane {

namespace {

void Override(const OptionsStore& store, const wchar_t* key, std::wstring* address) {
    std::wstring value = store.ReadOption(kServerSection, key);
    if (IsWebAddress(value)) {
        *address = value;
    }
}

}  // namespace

ServerAddresses DefaultServerAddresses() {
    return {L"http://www.korvane.com/yjhy/qmzgho.ini",
            L"http://www.korvane.com:90/SoftWareInfo.zip", L"https://www.korvane.com/",
            L"http://www.korvane.com/soft/pe/"};
}

ServerAddresses LoadServerAddresses(const OptionsStore& store) {
    ServerAddresses addresses = DefaultServerAddresses();
    Override(store, L"ImageCatalogue", &addresses.imageCatalogue);
    Override(store, L"SoftwareCatalogue", &addresses.softwareCatalogue);
    Override(store, L"HomePage", &addresses.homePage);
    Override(store, L"PePage", &addresses.pePage);
    return addresses;
}

}  // namespace korvane
