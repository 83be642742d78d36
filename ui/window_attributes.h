// What a page's Window element says about its window: size, caption band, corners and
// size limits (transparency is the frame presenter's).
#pragma once

#include <windows.h>

namespace DuiLib {

struct WindowAttributes {
    SIZE initSize = {};
    RECT caption = {};
    SIZE roundCorner = {};
    SIZE minInfo = {};
    SIZE maxInfo = {};
};

}  // namespace DuiLib
