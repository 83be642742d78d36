// The personal-data page of the main window as the copy job reads it: the six options and
// the two folder fields, read by skin name at the moment the job needs them (from the job's
// thread; the page cannot change meanwhile, the progress window is modal).
#pragma once

#include <string>

namespace korvane {

class PersonalDataPage {
  public:
    virtual ~PersonalDataPage() = default;
    // "BackUpDoc_Op1" … "BackUpDoc_Op6": whether that option is selected; false when missing.
    virtual bool IsOptionSelected(const std::wstring& name) = 0;
    // "BackUpDocPath_Edit", "RestoreDocPath_Edit": the field's text; empty when missing.
    virtual std::wstring EditText(const std::wstring& name) = 0;
};

}  // namespace korvane
