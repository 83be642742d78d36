// CDialogBuilder: builds a control tree from a page of the skin. Elements the framework
// does not know go to the builder callback, which is how composite controls of the
// program (a container that builds another page in its constructor) nest pages in pages.
#pragma once

#include "ui/control.h"

namespace DuiLib {

struct XmlElement;

class IDialogBuilderCallback {
  public:
    // A new control for an element name, or null when the name is not the callback's.
    virtual CControlUI* CreateControl(LPCTSTR pstrClass) = 0;

  protected:
    ~IDialogBuilderCallback() = default;
};

class CDialogBuilder {
  public:
    CDialogBuilder() = default;
    CDialogBuilder(const CDialogBuilder&) = delete;
    CDialogBuilder& operator=(const CDialogBuilder&) = delete;

    // xml: a page file of the skin, or page text starting with '<'. type is unused for
    // files (it names the resource type of pages carried as resources). With a paint
    // manager, the page's Window element sets the window's size, caption, transparency,
    // fonts and defaults. Returns the root control (owned by the caller, or by the
    // manager once attached), or null with GetLastErrorMessage saying why.
    CControlUI* Create(LPCTSTR xml, LPCTSTR type = nullptr,
                       IDialogBuilderCallback* pCallback = nullptr,
                       CPaintManagerUI* pManager = nullptr, CControlUI* pParent = nullptr);
    CDuiString GetLastErrorMessage() const { return CDuiString(m_error); }

    // A control of one of the framework's element names ("Button", "VerticalLayout", ...).
    static CControlUI* CreateBuiltinControl(LPCTSTR pstrClass);

  private:
    CControlUI* Parse(const XmlElement& element, CControlUI* pParent, CPaintManagerUI* pManager);
    void ApplyWindow(const XmlElement& window, CPaintManagerUI* pManager);

    IDialogBuilderCallback* m_pCallback = nullptr;
    std::wstring m_error;
};

}  // namespace DuiLib
