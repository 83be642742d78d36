// Wide-text front of the attribute parsers: pages arrive as UTF-8, but controls also take
// attributes from code (SetAttribute) as wide text.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/core/attribute_text.h"

namespace DuiLib {

bool ParseColorAttr(LPCTSTR value, uint32_t* argb);
bool ParseRectAttr(LPCTSTR value, RECT* rc);
bool ParseSizeAttr(LPCTSTR value, SIZE* size);
bool ParseBoolAttr(LPCTSTR value, bool* b);
bool ParseIntAttr(LPCTSTR value, int* n);
bool ParseAlignAttr(LPCTSTR value, unsigned* flags);
// Reports an attribute value that could not be read (debug output; the value is ignored).
void ReportBadAttribute(LPCTSTR control, LPCTSTR name, LPCTSTR value);

}  // namespace DuiLib
