#pragma once
// Parsing of the attribute texts of skin pages: colours, rectangles, sizes, booleans,
// alignment and image descriptions.

#include <cstdint>
#include <string>
#include <string_view>

namespace DuiLib {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct Size {
    int cx = 0, cy = 0;
};

// "#AARRGGBB" or "#RRGGBB" (opaque) -> 0xAARRGGBB.
bool ParseColor(std::string_view text, uint32_t* argb);
// "l,t,r,b"
bool ParseRect(std::string_view text, Rect* rect);
// "w,h"
bool ParseSize(std::string_view text, Size* size);
// "true" / "false"
bool ParseBool(std::string_view text, bool* value);
// A decimal integer, optionally signed, surrounded by optional blanks.
bool ParseInt(std::string_view text, int* value);

// Alignment flags of text inside a control.
enum AlignFlags : unsigned {
    kAlignLeft = 0x0001,
    kAlignCenter = 0x0002,
    kAlignRight = 0x0004,
    kAlignTop = 0x0010,
    kAlignVCenter = 0x0020,
    kAlignBottom = 0x0040,
    kAlignWrap = 0x0100,
    kAlignEndEllipsis = 0x0200,
};
// Default when no align attribute is given: left, vertically centred, one line.
constexpr unsigned kAlignDefault = kAlignLeft | kAlignVCenter;

// "left", "center", "right", "top", "vcenter", "bottom", "wrap", "centerwrap"
// (centre + wrap), combined with commas or blanks. Later horizontal (vertical) words
// replace earlier ones. Unknown words make the whole text invalid.
bool ParseAlign(std::string_view text, unsigned* flags);
// "l,t,r,b" padding between the control's edge and its text.
bool ParseTextPadding(std::string_view text, Rect* padding);

struct ImageDescription {
    std::string file;
    bool hasDest = false, hasSource = false, hasCorner = false;
    Rect dest, source, corner;
    int fade = 255;
    bool hole = false;    // nine-grid: leave the middle cell out
    bool xtiled = false;  // tile instead of stretch
    bool ytiled = false;
};

// Either a plain file name or "file='x.png' dest='l,t,r,b' source='..' corner='..'
// fade='255' hole='false' xtiled='true' ytiled='true'". Returns false (with a message)
// for malformed descriptions: unclosed quotes, bad rectangles, unknown keys.
bool ParseImageDescription(std::string_view text, ImageDescription* image, std::string* error);

}  // namespace DuiLib
