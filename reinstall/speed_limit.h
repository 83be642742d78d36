// The speed-limit text of the settings window as a number for the engine.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// Leading blanks skipped, then decimal digits up to the first non-digit; 0 when there are
// none. A "+" may precede the digits; a "-" gives 0, as a negative limit means nothing.
// Values past the 32-bit range stay at its largest value.
std::int32_t ParseSpeedLimit(const std::wstring& text);

}  // namespace korvane
