#include "ui/dialog_builder.h"

#include <cwchar>
#include <vector>

#include "ui/attribute_values.h"
#include "ui/button.h"
#include "ui/container.h"
#include "ui/core/xml_document.h"
#include "ui/edit.h"
#include "ui/gif.h"
#include "ui/label.h"
#include "ui/menu.h"
#include "ui/paint_manager.h"
#include "ui/progress.h"
#include "ui/skin_source.h"

namespace DuiLib {

namespace {

std::wstring W(const std::string& utf8) {
    return skin::FromUtf8(utf8);
}

bool NameIs(const std::string& name, const char* want) {
    // Element names of the framework are matched without regard to case.
    size_t n = strlen(want);
    if (name.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char a = name[i], b = want[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

}  // namespace

CControlUI* CDialogBuilder::CreateBuiltinControl(LPCTSTR pstrClass) {
    std::string name = skin::ToUtf8(pstrClass ? pstrClass : L"");
    if (NameIs(name, "Control"))
        return new CControlUI;
    if (NameIs(name, "Container"))
        return new CContainerUI;
    if (NameIs(name, "VerticalLayout"))
        return new CVerticalLayoutUI;
    if (NameIs(name, "HorizontalLayout"))
        return new CHorizontalLayoutUI;
    if (NameIs(name, "TabLayout"))
        return new CTabLayoutUI;
    if (NameIs(name, "Label"))
        return new CLabelUI;
    if (NameIs(name, "Text"))
        return new CTextUI;
    if (NameIs(name, "Button"))
        return new CButtonUI;
    if (NameIs(name, "Option") || NameIs(name, "CheckBox"))
        return new COptionUI;
    if (NameIs(name, "Edit"))
        return new CEditUI;
    if (NameIs(name, "Progress"))
        return new CProgressUI;
    if (NameIs(name, "Gif") || NameIs(name, "GifAnim"))
        return new CGifUI;
    if (NameIs(name, "Menu"))
        return new CMenuUI;
    if (NameIs(name, "MenuElement"))
        return new CMenuElementUI;
    return nullptr;
}

CControlUI* CDialogBuilder::Create(LPCTSTR xml, LPCTSTR type, IDialogBuilderCallback* pCallback,
                                   CPaintManagerUI* pManager, CControlUI* pParent) {
    (void)type;
    m_error.clear();
    m_pCallback = pCallback;
    if (xml == nullptr || *xml == 0) {
        m_error = L"no page named";
        return nullptr;
    }
    std::string text;
    if (xml[0] == L'<') {
        text = skin::ToUtf8(xml);
    } else {
        std::vector<uint8_t> bytes;
        std::wstring error;
        if (!skin::ReadFile(xml, &bytes, &error)) {
            m_error = error;
            ::OutputDebugStringW((L"DuiLib page: " + m_error + L"\n").c_str());
            return nullptr;
        }
        text.assign(bytes.begin(), bytes.end());
        // A byte-order mark is not part of the page.
        if (text.size() >= 3 && static_cast<uint8_t>(text[0]) == 0xEF &&
            static_cast<uint8_t>(text[1]) == 0xBB && static_cast<uint8_t>(text[2]) == 0xBF) {
            text.erase(0, 3);
        }
    }
    XmlElement root;
    XmlError error;
    if (!ParseXml(text, &root, &error)) {
        wchar_t where[64];
        swprintf(where, 64, L" (line %d, column %d)", error.line, error.column);
        m_error = (xml[0] == L'<' ? std::wstring(L"page") : std::wstring(xml)) + L": " +
                  W(error.message) + where;
        ::OutputDebugStringW((L"DuiLib page: " + m_error + L"\n").c_str());
        return nullptr;
    }
    const XmlElement* top = &root;
    if (NameIs(root.name, "Window")) {
        if (pManager)
            ApplyWindow(root, pManager);
        top = nullptr;
        // The page's control tree is the first element that makes a control.
        for (const XmlElement& child : root.children) {
            if (NameIs(child.name, "Font") || NameIs(child.name, "Default") ||
                NameIs(child.name, "Image")) {
                continue;
            }
            top = &child;
            break;
        }
        if (top == nullptr) {
            m_error = L"page has no controls";
            return nullptr;
        }
    }
    CControlUI* control = Parse(*top, pParent, pManager);
    if (control == nullptr) {
        return nullptr;
    }
    auto* parent =
        pParent ? static_cast<IContainerUI*>(pParent->GetInterface(L"IContainer")) : nullptr;
    if (parent) {
        parent->Add(control);
    } else if (pManager) {
        control->SetManager(pManager, nullptr, true);
    }
    return control;
}

void CDialogBuilder::ApplyWindow(const XmlElement& window, CPaintManagerUI* pManager) {
    for (const XmlAttribute& a : window.attributes) {
        pManager->SetWindowAttribute(W(a.name).c_str(), W(a.value).c_str());
    }
    for (const XmlElement& child : window.children) {
        if (NameIs(child.name, "Font")) {
            std::wstring face = L"微软雅黑";
            int size = 12;
            bool bold = false, underline = false, italic = false, isDefault = false;
            int id = -1;
            for (const XmlAttribute& a : child.attributes) {
                std::wstring v = W(a.value);
                if (a.name == "name")
                    face = v;
                else if (a.name == "size")
                    ParseIntAttr(v.c_str(), &size);
                else if (a.name == "bold")
                    ParseBoolAttr(v.c_str(), &bold);
                else if (a.name == "underline")
                    ParseBoolAttr(v.c_str(), &underline);
                else if (a.name == "italic")
                    ParseBoolAttr(v.c_str(), &italic);
                else if (a.name == "default")
                    ParseBoolAttr(v.c_str(), &isDefault);
                else if (a.name == "id")
                    ParseIntAttr(v.c_str(), &id);
            }
            if (isDefault) {
                pManager->SetDefaultFont(face.c_str(), size, bold, underline, italic);
            }
            // Fonts are referred to by their place in the page (or an explicit id, which
            // must come in order).
            if (id < 0 || id >= pManager->GetFontCount()) {
                pManager->AddFont(face.c_str(), size, bold, underline, italic);
            }
        } else if (NameIs(child.name, "Default")) {
            const std::string* name = child.FindAttribute("name");
            const std::string* value = child.FindAttribute("value");
            if (name && value) {
                pManager->AddDefaultAttributeList(W(*name).c_str(), W(*value).c_str());
            }
        }
    }
}

CControlUI* CDialogBuilder::Parse(const XmlElement& element, CControlUI* pParent,
                                  CPaintManagerUI* pManager) {
    std::wstring className = W(element.name);
    CControlUI* control = CreateBuiltinControl(className.c_str());
    if (control == nullptr && m_pCallback) {
        control = m_pCallback->CreateControl(className.c_str());
    }
    if (control == nullptr) {
        wchar_t where[64];
        swprintf(where, 64, L" (line %d)", element.line);
        m_error = L"unknown element " + className + where;
        ::OutputDebugStringW((L"DuiLib page: " + m_error + L"\n").c_str());
        return nullptr;
    }
    if (pManager) {
        CDuiString defaults = pManager->GetDefaultAttributeList(className.c_str());
        if (!defaults.IsEmpty())
            control->ApplyAttributeList(defaults.GetData());
    }
    for (const XmlAttribute& a : element.attributes) {
        control->SetAttribute(W(a.name).c_str(), W(a.value).c_str());
    }
    auto* container = static_cast<IContainerUI*>(control->GetInterface(L"IContainer"));
    for (const XmlElement& child : element.children) {
        CControlUI* item = Parse(child, control, pManager);
        if (item == nullptr)
            continue;
        if (container == nullptr || !container->Add(item)) {
            delete item;  // only containers hold children
        }
    }
    (void)pParent;
    return control;
}

}  // namespace DuiLib
