#include "app/window_controls.h"

#include <iterator>

namespace korvane {

namespace {

// The names the controller keeps, in the order it looks them up.
constexpr const wchar_t* kLookUpList[] = {
    L"MainTab",
    L"ZadodiReloadTab",
    L"StartRestoreSystem_Btn",
    L"BackToStep1_Btn",
    L"DownloadSystem1_Btn",
    L"DownloadSystem2_Btn",
    L"DownloadSystem3_Btn",
    L"DownloadSpeed_Text",
    L"DownloadAlready_Text",
    L"DownloadTotal_Text",
    L"DownloadPath_Text",
    L"Downloading_Text",
    L"DownloadInstallPath_Text",
    L"Download_Progress",
    L"DownloadState_Text",
    L"ZadOdiReloadOp",
    L"BackUpAndRestoreOp",
    L"SoftwareManagementOp",
    L"DataBackupOp",
    L"tuijian1_text",
    L"tuijian2_text",
    L"tuijian3_text",
    L"tuijian4_text",
    L"tuijiand_text",
    L"XuanZhuanLogo_Label",
    L"BackUpPath_Edit",
    L"RestorePath_Edit",
    L"StartBackUp_Btn",
    L"StartRestore_Btn",
    L"SelectBackUpGho_Btn",
    L"SelectRestoreGho_Btn",
    L"BackUpDoc_Op1",
    L"BackUpDoc_Op2",
    L"BackUpDoc_Op3",
    L"BackUpDoc_Op4",
    L"BackUpDoc_Op5",
    L"BackUpDoc_Op6",
    L"BackUpDocPath_Edit",
    L"RestoreDocPath_Edit",
    L"SelectBackUpDoc_Btn",
    L"SelectRestoreDoc_Btn",
    L"StartBackUpDoc_Btn",
    L"StartRestoreDoc_Btn",
    L"ChooseOs_Text",
    L"OS_Op1",
    L"OS_Op2",
    L"OS_Op3",
    L"OS_Op4",
    L"OS_Op5",
    L"OS_Op6",
    L"OS_Op7",
    L"OS_Op8",
    L"OS_Op9",
    L"OS_Op10",
    L"StopDown_Btn",
    L"ReChoose_Btn",
    L"Soft1_Btn",
    L"Soft2_Btn",
    L"Soft3_Btn",
    L"Soft4_Btn",
    L"Soft5_Btn",
    L"Soft6_Btn",
    L"Soft7_Btn",
    L"Soft8_Btn",
    L"Soft9_Btn",
    L"Soft10_Btn",
    L"Soft11_Btn",
    L"Soft12_Btn",
    L"Soft13_Btn",
    L"Soft14_Btn",
    L"Soft15_Btn",
    L"Soft16_Btn",
    L"tips1_label",
    L"tips2_label",
    L"tips3_label",
    L"tips4_label",
    L"tips5_label",
    L"tips6_label",
    L"tips7_label",
    L"tips8_label",
    L"tips9_label",
    L"tips10_label",
    L"tips11_label",
    L"tips12_label",
    L"tips13_label",
};

template <typename T>
T* As(DuiLib::CControlUI* control, const wchar_t* interfaceName) {
    return control ? static_cast<T*>(control->GetInterface(interfaceName)) : nullptr;
}

}  // namespace

void WindowControls::LookUp(DuiLib::CPaintManagerUI& pm) {
    for (const wchar_t* name : kLookUpList) {
        controls_[name] = pm.FindControl(name);
    }
}

DuiLib::CControlUI* WindowControls::Find(const std::wstring& name) const {
    auto found = controls_.find(name);
    return found == controls_.end() ? nullptr : found->second;
}

std::wstring WindowControls::ControlText(const std::wstring& name) {
    DuiLib::CControlUI* control = Find(name);
    return control ? std::wstring(control->GetText().GetData()) : std::wstring();
}

void WindowControls::SetControlText(const std::wstring& name, const std::wstring& text) {
    if (DuiLib::CControlUI* control = Find(name)) {
        control->SetText(text.c_str());
    }
}

std::wstring WindowControls::ControlUserData(const std::wstring& name) {
    DuiLib::CControlUI* control = Find(name);
    return control ? std::wstring(control->GetUserData().GetData()) : std::wstring();
}

void WindowControls::SetControlUserData(const std::wstring& name, const std::wstring& data) {
    if (DuiLib::CControlUI* control = Find(name)) {
        control->SetUserData(data.c_str());
    }
}

void WindowControls::SetControlEnabled(const std::wstring& name, bool enabled) {
    if (DuiLib::CControlUI* control = Find(name)) {
        control->SetEnabled(enabled);
    }
}

void WindowControls::ShowControl(const std::wstring& name, bool visible) {
    if (DuiLib::CControlUI* control = Find(name)) {
        control->SetVisible(visible);
    }
}

UINT_PTR WindowControls::ControlTag(const std::wstring& name) {
    DuiLib::CControlUI* control = Find(name);
    return control ? control->GetTag() : 0;
}

void WindowControls::SetControlTag(const std::wstring& name, UINT_PTR tag) {
    if (DuiLib::CControlUI* control = Find(name)) {
        control->SetTag(tag);
    }
}

void WindowControls::SetButtonImages(const std::wstring& name, const wchar_t* normal,
                                     const wchar_t* hot, const wchar_t* pushed) {
    auto* button = As<DuiLib::CButtonUI>(Find(name), L"Button");
    if (!button) {
        return;
    }
    if (normal) {
        button->SetNormalImage(normal);
    }
    if (hot) {
        button->SetHotImage(hot);
    }
    if (pushed) {
        button->SetPushedImage(pushed);
    }
}

void WindowControls::SetProgressValue(const std::wstring& name, int value) {
    if (auto* progress = As<DuiLib::CProgressUI>(Find(name), L"Progress")) {
        progress->SetValue(value);
    }
}

void WindowControls::SelectWizardStep(int step) {
    if (auto* tab = As<DuiLib::CTabLayoutUI>(Find(L"ZadodiReloadTab"), L"TabLayout")) {
        tab->SelectItem(step);
    }
}

void WindowControls::SelectMainTab(int tab) {
    if (auto* layout = As<DuiLib::CTabLayoutUI>(Find(L"MainTab"), L"TabLayout")) {
        layout->SelectItem(tab);
    }
    if (tab < 0 || tab >= static_cast<int>(std::size(kMainTabOptions))) {
        return;
    }
    // The option's group clears the others; no event, since nothing listens for it.
    if (auto* option = As<DuiLib::COptionUI>(Find(kMainTabOptions[tab]), L"Option")) {
        option->Selected(true, false);
    }
}

int WindowControls::SelectedMainTab() {
    auto* layout = As<DuiLib::CTabLayoutUI>(Find(L"MainTab"), L"TabLayout");
    return layout ? layout->GetCurSel() : -1;
}

void WindowControls::SetControlBkImage(const std::wstring& name, const std::wstring& image) {
    if (DuiLib::CControlUI* control = Find(name)) {
        control->SetBkImage(image.c_str());
    }
}

bool WindowControls::IsOptionSelected(const std::wstring& name) {
    auto* option = As<DuiLib::COptionUI>(Find(name), L"Option");
    return option && option->IsSelected();
}

void WindowControls::FillSoftwareButton(int number, const std::wstring& target,
                                        const std::wstring& normalImage,
                                        const std::wstring& hotImage) {
    const std::wstring name = L"Soft" + std::to_wstring(number) + L"_Btn";
    auto* button = As<DuiLib::CButtonUI>(Find(name), L"Button");
    if (!button) {
        return;
    }
    button->SetEnabled(true);
    button->SetUserData(target.c_str());
    button->SetBkImage(normalImage.c_str());
    button->SetHotImage(hotImage.c_str());
    button->SetPushedImage(hotImage.c_str());
}

}  // namespace korvane
